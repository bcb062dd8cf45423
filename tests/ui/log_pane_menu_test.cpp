#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>

#include "support/gui_test_support.h"
#include "ui/dovra_updater_dlg.h"
#include "ui/log_pane.h"
#include "ui/log_pane_menu.h"

using dovra::test::Fixture;
using dovra::test::ModalScript;

namespace {

QPlainTextEdit* LogEdit(const QWidget& dialog) {
    return dialog.findChild<QPlainTextEdit*>(QStringLiteral("logEdit"));
}

dovra::LogPaneMenu* Menu(const QWidget& dialog) {
    return dialog.findChild<dovra::LogPaneMenu*>(QStringLiteral("logPaneMenu"));
}

// Two lines written into the dialog's pane as a command's lines are.
void LogTwoLines(CDovraUpdaterDlg& dialog) {
    dovra::LogPane pane(*LogEdit(dialog));
    pane.Append(QStringLiteral("--- idnファイルの複製 ---"));
    pane.Append(QStringLiteral("　キャラクター.idn"));
}

#ifdef _WIN32
const QByteArray kLineEnd("\r\n");
#else
const QByteArray kLineEnd("\n");
#endif

} // namespace

class LogPaneMenuTest : public QObject {
    Q_OBJECT

private slots:
    void menuAddsSaveAndCopyAllToTheEditEntries();
    void saveWritesTheWholeLogAsUtf8Text();
    void cancelledSaveWritesNothing();
    void failedSaveSaysSoAndKeepsTheOldFile();
    void copyAllPutsTheWholeLogOnTheClipboard();
};

void LogPaneMenuTest::menuAddsSaveAndCopyAllToTheEditEntries() {
    CDovraUpdaterDlg dialog;
    QCOMPARE(LogEdit(dialog)->contextMenuPolicy(), Qt::CustomContextMenu);
    std::unique_ptr<QMenu> empty(Menu(dialog)->CreateMenu());
    auto* save = empty->findChild<QAction*>(QStringLiteral("saveLogAction"));
    auto* copy = empty->findChild<QAction*>(QStringLiteral("copyAllAction"));
    QVERIFY(save != nullptr && copy != nullptr);
    QCOMPARE(save->text(), QStringLiteral("ログを保存…"));
    QCOMPARE(copy->text(), QStringLiteral("すべてコピー"));
    // Nothing to save or copy yet.
    QVERIFY(!save->isEnabled());
    QVERIFY(!copy->isEnabled());
    // The edit control's own entries stay, ours come last.
    QVERIFY(empty->actions().size() > 3);
    QCOMPARE(empty->actions().last(), copy);

    LogTwoLines(dialog);
    std::unique_ptr<QMenu> filled(Menu(dialog)->CreateMenu());
    QVERIFY(filled->findChild<QAction*>(QStringLiteral("saveLogAction"))->isEnabled());
    QVERIFY(filled->findChild<QAction*>(QStringLiteral("copyAllAction"))->isEnabled());
}

void LogPaneMenuTest::saveWritesTheWholeLogAsUtf8Text() {
    Fixture files;
    const QString target =
        files.Write(QStringLiteral("ログ/古いログ.txt"), QByteArray("old contents, longer than the log"));
    CDovraUpdaterDlg dialog;
    LogTwoLines(dialog);
    int asked = 0;
    Menu(dialog)->SetSavePathPicker([&](QWidget* parent) -> std::optional<QString> {
        ++asked;
        if (parent != &dialog) {
            return std::nullopt;
        }
        return target;
    });
    ModalScript boxes;
    std::unique_ptr<QMenu> menu(Menu(dialog)->CreateMenu());
    menu->findChild<QAction*>(QStringLiteral("saveLogAction"))->trigger();
    QCOMPARE(asked, 1);
    QVERIFY(boxes.seen.isEmpty());
    // UTF-8 without a byte order mark, one line end per line, the old file replaced whole.
    const QByteArray expected = QStringLiteral("--- idnファイルの複製 ---").toUtf8() + kLineEnd +
                                QStringLiteral("　キャラクター.idn").toUtf8() + kLineEnd;
    QCOMPARE(files.Read(QStringLiteral("ログ/古いログ.txt")), expected);
    // Written beside the target and renamed: no temporary file is left.
    QCOMPARE(QDir(files.Path(QStringLiteral("ログ"))).entryList(QDir::Files),
             QStringList{QStringLiteral("古いログ.txt")});
}

void LogPaneMenuTest::cancelledSaveWritesNothing() {
    Fixture files;
    CDovraUpdaterDlg dialog;
    LogTwoLines(dialog);
    Menu(dialog)->SetSavePathPicker([](QWidget*) { return std::optional<QString>(); });
    ModalScript boxes;
    Menu(dialog)->SaveLog();
    QVERIFY(boxes.seen.isEmpty());
    QVERIFY(QDir(files.Path(QString())).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}

void LogPaneMenuTest::failedSaveSaysSoAndKeepsTheOldFile() {
    Fixture files;
    // Paths no user can write, root included: inside a file, and over a folder of the chosen name.
    const QString keptFile = files.Write(QStringLiteral("ログ.txt"), QByteArray("keep me"));
    const QString folder = files.Folder(QStringLiteral("フォルダ.txt"));
    files.Write(QStringLiteral("フォルダ.txt/中身"), QByteArray("inside"));
    for (const QString& target : {keptFile + QStringLiteral("/新しいログ.txt"), folder}) {
        CDovraUpdaterDlg dialog;
        LogTwoLines(dialog);
        Menu(dialog)->SetSavePathPicker([&](QWidget*) { return std::optional<QString>(target); });
        ModalScript boxes;
        Menu(dialog)->SaveLog();
        QCOMPARE(boxes.seen.size(), 1);
        QVERIFY(boxes.seen[0].text.startsWith(QStringLiteral("ログを保存できませんでした。")));
        QVERIFY(boxes.seen[0].text.contains(QDir::toNativeSeparators(target)));
    }
    QCOMPARE(files.Read(QStringLiteral("ログ.txt")), QByteArray("keep me"));
    QCOMPARE(files.Read(QStringLiteral("フォルダ.txt/中身")), QByteArray("inside"));
    QCOMPARE(QDir(files.Path(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("フォルダ.txt"), QStringLiteral("ログ.txt")}));
}

void LogPaneMenuTest::copyAllPutsTheWholeLogOnTheClipboard() {
    CDovraUpdaterDlg dialog;
    LogTwoLines(dialog);
    // A selection of part of the log does not narrow what is copied.
    QTextCursor cursor = LogEdit(dialog)->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(3, QTextCursor::KeepAnchor);
    LogEdit(dialog)->setTextCursor(cursor);
    std::unique_ptr<QMenu> menu(Menu(dialog)->CreateMenu());
    menu->findChild<QAction*>(QStringLiteral("copyAllAction"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("--- idnファイルの複製 ---\n　キャラクター.idn\n"));
}

QTEST_MAIN(LogPaneMenuTest)
#include "log_pane_menu_test.moc"
