#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>

#include "engine/message_box.h"
#include "support/gui_test_support.h"
#include "ui/dovra_updater_dlg.h"
#include "ui/drop_edit.h"

using dovra::test::Answer;
using dovra::test::Fixture;
using dovra::test::ModalScript;
using dovra::test::Shown;
using dovra::test::Sj;

namespace {

// Every binary these tests fail to open is missing, which the message says.
const QString kCannotOpenMissing = QStringLiteral("ファイルを開けませんでした。（見つかりません）");
const QString kOldFailed = QStringLiteral("旧バイナリファイルの読み込みに失敗しました");
const QString kNewFailed = QStringLiteral("新バイナリファイルの読み込みに失敗しました");
const QString kBaseFailed = QStringLiteral("無改造の旧バイナリファイルの読み込みに失敗しました");

CDropEdit* Field(const QWidget& dialog, const char* name) {
    auto* field = dialog.findChild<CDropEdit*>(QLatin1String(name));
    if (field == nullptr) {
        qFatal("no field %s", name);
    }
    return field;
}

QPushButton* Button(const QWidget& dialog, const char* name) {
    auto* button = dialog.findChild<QPushButton*>(QLatin1String(name));
    if (button == nullptr) {
        qFatal("no button %s", name);
    }
    return button;
}

QPlainTextEdit* LogEdit(const QWidget& dialog) {
    return dialog.findChild<QPlainTextEdit*>(QStringLiteral("logEdit"));
}

// A definition file whose first column is no number: loading its folder shows "…の解析に失敗しました", which
// tells when (and whether) a folder was loaded.
QString WriteUnparsableTable(const Fixture& files, const QString& folder) {
    return files.Write(folder + QStringLiteral("/壊れた表.ini"), QByteArray("zz,x,1,1,0,,,0,,,\n"));
}

QString ParseFailure(const QString& definitionPath) {
    return definitionPath + QStringLiteral("の解析に失敗しました");
}

} // namespace

class DovraUpdaterDlgTest : public QObject {
    Q_OBJECT

private slots:
    void controlsFollowTheTemplate();
    void logPaneGrowsWithTheWindow();
    void typedPathsReachTheEngineAsCodePage932();
    void pickersFillTheirFields();
    void dropsFillEveryField();
    void rewriteLoadsEverythingInOrder();
    void rewriteStopsAtAnOldBinaryThatFails();
    void rewriteStopsAtANewBinaryThatFails();
    void rewriteLoadsTheBaseBinaryLastAndCarriesOnlyOwnChanges();
    void emptyBaseFieldGivesThePlainRewrite();
    void rewriteStopsAtABaseBinaryThatFails();
    void createNeverReadsTheNewSettingsFolder();
    void createStopsAtABinaryThatFails();
    void unrepresentablePathIsRefusedBeforeAnyLoad();
    void enterRunsTheRewriteAndKeepsTheWindow();
    void escapeCloseBoxAndQuitEndWithoutAsking();
    void logPaneAppendsEveryLineAtTheEnd();
    void logPaneScrollsToTheEnd();
    void promptIsAnOkCancelBoxWithoutIcon();
    void engineMessagesAreOkBoxes();
    void aboutBoxOpensFromF1AndTheContextMenu();
};

void DovraUpdaterDlgTest::controlsFollowTheTemplate() {
    CDovraUpdaterDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("DovraUpdater"));
    QCOMPARE(Button(dialog, "rewriteButton")->text(), QStringLiteral("書き換え"));
    QCOMPARE(Button(dialog, "createButton")->text(), QStringLiteral("Dovra作成"));
    QCOMPARE(Button(dialog, "quitButton")->text(), QStringLiteral("終了"));
    for (const char* name : {"pickOldFolderButton", "pickNewFolderButton", "pickOldBinaryButton",
                             "pickBaseBinaryButton", "pickNewBinaryButton"}) {
        QCOMPARE(Button(dialog, name)->text(), QStringLiteral("開く"));
    }
    QStringList titles;
    for (const char* name :
         {"oldFolderGroup", "newFolderGroup", "oldBinaryGroup", "baseBinaryGroup", "newBinaryGroup", "logGroup"}) {
        titles.append(dialog.findChild<QGroupBox*>(QLatin1String(name))->title());
    }
    // "&&" shows as one "&", as in the original template.
    QCOMPARE(titles,
             (QStringList{QStringLiteral("旧Dovra設定フォルダ( D&&D可)"), QStringLiteral("新Dovra設定フォルダ"),
                          QStringLiteral("旧バイナリファイル"), QStringLiteral("無改造の旧バイナリファイル（任意）"),
                          QStringLiteral("新バイナリファイル"), QStringLiteral("ログ")}));
    // The optional field says what it is for; the field itself shows the group's tip.
    const QString tip = dialog.findChild<QGroupBox*>(QStringLiteral("baseBinaryGroup"))->toolTip();
    QVERIFY(tip.contains(QStringLiteral("自分で変更した項目だけを書き写し")));
    QVERIFY(Field(dialog, "baseBinaryEdit")->toolTip().isEmpty());

    QVERIFY(Button(dialog, "rewriteButton")->isDefault());
    QVERIFY(!LogEdit(dialog)->isReadOnly());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Focus starts on the first tab stop and Tab walks the template's order.
    QStringList order;
    QWidget* widget = QApplication::focusWidget();
    for (int i = 0; i < 14 && widget != nullptr; ++i) {
        order.append(widget->objectName());
        QTest::keyClick(widget, Qt::Key_Tab);
        widget = QApplication::focusWidget();
    }
    QCOMPARE(order,
             (QStringList{"rewriteButton", "quitButton", "oldFolderEdit", "pickOldFolderButton", "newFolderEdit",
                          "pickNewFolderButton", "oldBinaryEdit", "pickOldBinaryButton", "baseBinaryEdit",
                          "pickBaseBinaryButton", "newBinaryEdit", "pickNewBinaryButton", "logEdit", "createButton"}));
    // Then the log and results tabs (the results tab's own controls only while it is shown), and round again.
    QCOMPARE(QApplication::focusWidget(), dialog.findChild<QTabWidget*>(QStringLiteral("resultTabs"))->tabBar());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Button(dialog, "rewriteButton"));
}

void DovraUpdaterDlgTest::logPaneGrowsWithTheWindow() {
    CDovraUpdaterDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QSize logBefore = LogEdit(dialog)->size();
    const int fieldBefore = Field(dialog, "oldFolderEdit")->width();
    const QPoint quitBefore = Button(dialog, "quitButton")->pos();

    dialog.resize(dialog.size() + QSize(200, 150));
    QTRY_COMPARE(LogEdit(dialog)->size(), logBefore + QSize(200, 150));
    QCOMPARE(Field(dialog, "oldFolderEdit")->width(), fieldBefore + 200);
    // The buttons keep to the right edge, "終了" to the bottom.
    QCOMPARE(Button(dialog, "quitButton")->pos(), quitBefore + QPoint(200, 150));
}

void DovraUpdaterDlgTest::typedPathsReachTheEngineAsCodePage932() {
    Fixture files;
    const QString base = files.Path(QString()); // ASCII: the temporary folder
    CDovraUpdaterDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    // Keys for the ASCII part, the input method's commit for the Japanese part, as a Japanese user types.
    const QList<std::pair<const char*, QString>> typed = {
        {"oldFolderEdit", QStringLiteral("旧設定")},
        {"newFolderEdit", QStringLiteral("新設定")},
        {"oldBinaryEdit", QStringLiteral("旧.bin")},
        {"newBinaryEdit", QStringLiteral("新.bin")},
    };
    for (const auto& [name, leaf] : typed) {
        CDropEdit* field = Field(dialog, name);
        field->setFocus();
        QTest::keyClicks(field, base + QLatin1Char('/'));
        QInputMethodEvent commit;
        commit.setCommitString(leaf);
        QApplication::sendEvent(field, &commit);
        QCOMPARE(field->text(), base + QLatin1Char('/') + leaf);
    }

    // The folders exist, the files do not: the old binary's load fails, after both folders were taken as
    // typed.
    QVERIFY(QDir(base).mkdir(QStringLiteral("旧設定")) && QDir(base).mkdir(QStringLiteral("新設定")));
    ModalScript boxes;
    Button(dialog, "rewriteButton")->click();
    QCOMPARE(boxes.Texts(), (QStringList{kCannotOpenMissing, kOldFailed}));
    QCOMPARE(dialog.Updater().OldFolder(), Sj(base + QStringLiteral("/旧設定")));
    QCOMPARE(dialog.Updater().NewFolder(), Sj(base + QStringLiteral("/新設定")));
    QCOMPARE(dialog.Updater().OldBinaryPath(), Sj(base + QStringLiteral("/旧.bin")));
}

void DovraUpdaterDlgTest::pickersFillTheirFields() {
    CDovraUpdaterDlg dialog;
    QList<dovra::PickerKind> asked;
    std::optional<QString> answer;
    QList<QWidget*> parents;
    dialog.SetPathPicker([&](QWidget* parent, dovra::PickerKind kind) {
        parents.append(parent);
        asked.append(kind);
        return answer;
    });

    const QList<std::pair<const char*, const char*>> pairs = {{"pickOldFolderButton", "oldFolderEdit"},
                                                              {"pickNewFolderButton", "newFolderEdit"},
                                                              {"pickOldBinaryButton", "oldBinaryEdit"},
                                                              {"pickBaseBinaryButton", "baseBinaryEdit"},
                                                              {"pickNewBinaryButton", "newBinaryEdit"}};
    for (const auto& [button, field] : pairs) {
        Field(dialog, field)->setText(QStringLiteral("前の値"));
        answer = QStringLiteral("/選んだ/") + QLatin1String(field);
        Button(dialog, button)->click();
        QCOMPARE(Field(dialog, field)->text(), *answer);

        // A cancelled picker leaves the field exactly as it was.
        answer.reset();
        Button(dialog, button)->click();
        QCOMPARE(Field(dialog, field)->text(), QStringLiteral("/選んだ/") + QLatin1String(field));
    }
    using K = dovra::PickerKind;
    QCOMPARE(asked, (QList<K>{K::Folder, K::Folder, K::Folder, K::Folder, K::File, K::File, K::File, K::File, K::File,
                              K::File}));
    QCOMPARE(parents, QList<QWidget*>(10, &dialog));
}

void DovraUpdaterDlgTest::dropsFillEveryField() {
    CDovraUpdaterDlg dialog;
    for (const char* name : {"oldFolderEdit", "newFolderEdit", "oldBinaryEdit", "baseBinaryEdit", "newBinaryEdit"}) {
        CDropEdit* field = Field(dialog, name);
        field->setText(QStringLiteral("前の値"));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/データ/一番目")), QUrl::fromLocalFile("/second"),
                      QUrl::fromLocalFile("/third")});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field, &drop);
        QCOMPARE(field->text(), QStringLiteral("/データ/一番目"));
        QVERIFY(drop.isAccepted());
    }
}

void DovraUpdaterDlgTest::rewriteLoadsEverythingInOrder() {
    Fixture files;
    const QString oldBad = WriteUnparsableTable(files, QStringLiteral("旧設定"));
    const QString newBad = WriteUnparsableTable(files, QStringLiteral("新設定"));
    files.Write(QStringLiteral("旧.bin"), QByteArray("OLD!"));
    files.Write(QStringLiteral("新.bin"), QByteArray("NEW!!"));

    CDovraUpdaterDlg dialog;
    Field(dialog, "oldFolderEdit")->setText(files.Path(QStringLiteral("旧設定")));
    Field(dialog, "newFolderEdit")->setText(files.Path(QStringLiteral("新設定")));
    Field(dialog, "oldBinaryEdit")->setText(files.Path(QStringLiteral("旧.bin")));
    Field(dialog, "newBinaryEdit")->setText(files.Path(QStringLiteral("新.bin")));

    ModalScript boxes;
    boxes.answers = {Answer::Ok, Answer::Ok};
    Button(dialog, "rewriteButton")->click();
    QCOMPARE(boxes.Texts().mid(0, 2), (QStringList{ParseFailure(oldBad), ParseFailure(newBad)}));
    QCOMPARE(dialog.Updater().OldImage().size, 4u);
    QCOMPARE(dialog.Updater().NewImage().size, 5u);
    QCOMPARE(dialog.Updater().NewBinaryPath(), Sj(files.Path(QStringLiteral("新.bin"))));
}

void DovraUpdaterDlgTest::rewriteStopsAtAnOldBinaryThatFails() {
    Fixture files;
    files.Write(QStringLiteral("新.bin"), QByteArray("NEW"));
    CDovraUpdaterDlg dialog;
    Field(dialog, "newBinaryEdit")->setText(files.Path(QStringLiteral("新.bin")));

    ModalScript boxes;
    Button(dialog, "rewriteButton")->click();
    QCOMPARE(boxes.Texts(), (QStringList{kCannotOpenMissing, kOldFailed}));
    for (const auto& box : boxes.seen) {
        QCOMPARE(box.title, QStringLiteral("DovraUpdater"));
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.icon, QMessageBox::NoIcon);
    }
    // The empty field went to the engine unchanged, and the new binary was never loaded.
    QCOMPARE(dialog.Updater().OldBinaryPath(), std::string());
    QVERIFY(!dialog.Updater().OldImage().IsLoaded());
    QVERIFY(!dialog.Updater().NewImage().IsLoaded());
    QCOMPARE(dialog.Updater().NewBinaryPath(), std::string());
    QCOMPARE(LogEdit(dialog)->toPlainText(), QString());
}

void DovraUpdaterDlgTest::rewriteStopsAtANewBinaryThatFails() {
    Fixture files;
    files.Write(QStringLiteral("旧.bin"), QByteArray("OLD"));
    files.Write(QStringLiteral("空.bin"), QByteArray());
    CDovraUpdaterDlg dialog;
    Field(dialog, "oldBinaryEdit")->setText(files.Path(QStringLiteral("旧.bin")));
    Field(dialog, "newBinaryEdit")->setText(files.Path(QStringLiteral("空.bin")));

    ModalScript boxes;
    Button(dialog, "rewriteButton")->click();
    QCOMPARE(boxes.Texts(), (QStringList{QStringLiteral("ファイルサイズが0です。"), kNewFailed}));
    QVERIFY(dialog.Updater().OldImage().IsLoaded());
    QVERIFY(!dialog.Updater().NewImage().IsLoaded());
}

// One 2-byte table at 0 in both folders; old.bin is the user's, base.bin the unmodified one.
void WriteThreeWayFiles(const Fixture& files) {
    for (const QString& folder : {QStringLiteral("旧設定"), QStringLiteral("新設定")}) {
        files.Write(folder + QStringLiteral("/表.ini"), QByteArray("0,a,1,2,0,,,0,,,\n1,b,1,,0,,,0,,,\n"));
        files.Write(folder + QStringLiteral("/表.idn"), QByteArray("r\n"));
    }
    files.Write(QStringLiteral("base.bin"), QByteArray("\x01\x02\x00\x00", 4));
    files.Write(QStringLiteral("old.bin"), QByteArray("\x01\x09\x00\x00", 4)); // the user changed b
    files.Write(QStringLiteral("new.bin"), QByteArray("\x07\x02\x00\x00", 4)); // the update changed a
}

void FillRewritePaths(CDovraUpdaterDlg& dialog, const Fixture& files) {
    Field(dialog, "oldFolderEdit")->setText(files.Path(QStringLiteral("旧設定")));
    Field(dialog, "newFolderEdit")->setText(files.Path(QStringLiteral("新設定")));
    Field(dialog, "oldBinaryEdit")->setText(files.Path(QStringLiteral("old.bin")));
    Field(dialog, "newBinaryEdit")->setText(files.Path(QStringLiteral("new.bin")));
}

void DovraUpdaterDlgTest::rewriteLoadsTheBaseBinaryLastAndCarriesOnlyOwnChanges() {
    Fixture files;
    WriteThreeWayFiles(files);
    CDovraUpdaterDlg dialog;
    FillRewritePaths(dialog, files);
    Field(dialog, "baseBinaryEdit")->setText(files.Path(QStringLiteral("base.bin")));

    ModalScript boxes;
    Button(dialog, "rewriteButton")->click();
    QCOMPARE(boxes.Texts().first(),
             QStringLiteral("表のデータに、自分で変更した部分が1/2 Byteあります。書き写しますか？"));
    QCOMPARE(dialog.Updater().BaseBinaryPath(), Sj(files.Path(QStringLiteral("base.bin"))));
    // The update's change to a stays; the user's change to b is carried.
    QCOMPARE(files.Read(QStringLiteral("new.bin.new")), QByteArray("\x07\x09\x00\x00", 4));
    QVERIFY(LogEdit(dialog)->toPlainText().contains(QStringLiteral("自分の変更を書き写したテーブル: 1")));
}

void DovraUpdaterDlgTest::emptyBaseFieldGivesThePlainRewrite() {
    Fixture files;
    WriteThreeWayFiles(files);
    CDovraUpdaterDlg dialog;
    FillRewritePaths(dialog, files);
    // A base from an earlier click is forgotten once the field is emptied.
    Field(dialog, "baseBinaryEdit")->setText(files.Path(QStringLiteral("base.bin")));
    {
        ModalScript boxes;
        Button(dialog, "rewriteButton")->click();
    }
    Field(dialog, "baseBinaryEdit")->clear();
    LogEdit(dialog)->clear();
    ModalScript boxes;
    Button(dialog, "rewriteButton")->click();
    QCOMPARE(boxes.Texts().first(), QStringLiteral("表のデータに2/2 Byteの違いがあります。上書きしますか？"));
    QVERIFY(!dialog.Updater().BaseImage().IsLoaded());
    QCOMPARE(files.Read(QStringLiteral("new.bin.new")), QByteArray("\x01\x09\x00\x00", 4));
    QVERIFY(!LogEdit(dialog)->toPlainText().contains(QStringLiteral("自分の変更を書き写したテーブル")));
}

void DovraUpdaterDlgTest::rewriteStopsAtABaseBinaryThatFails() {
    Fixture files;
    WriteThreeWayFiles(files);
    files.Write(QStringLiteral("short.bin"), QByteArray("\x01", 1));
    CDovraUpdaterDlg dialog;
    FillRewritePaths(dialog, files);
    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral("無い.bin"), kCannotOpenMissing},
        {QStringLiteral("short.bin"),
         QStringLiteral("表のデータ（00000000から2 Byte）が無改造の旧バイナリファイルに収まりません。"
                        "無改造の旧バイナリファイルとして正しいファイルを選んでいるか確かめてください。")},
    };
    for (const auto& [base, cause] : cases) {
        Field(dialog, "baseBinaryEdit")->setText(files.Path(base));
        ModalScript boxes;
        Button(dialog, "rewriteButton")->click();
        QCOMPARE(boxes.Texts(), (QStringList{cause, kBaseFailed}));
        QVERIFY(!dialog.Updater().BaseImage().IsLoaded());
    }
    // Nothing was written and nothing logged.
    QVERIFY(!QFileInfo::exists(files.Path(QStringLiteral("new.bin.new"))));
    QCOMPARE(LogEdit(dialog)->toPlainText(), QString());
}

void DovraUpdaterDlgTest::createNeverReadsTheNewSettingsFolder() {
    Fixture files;
    const QString oldBad = WriteUnparsableTable(files, QStringLiteral("旧設定"));
    WriteUnparsableTable(files, QStringLiteral("新設定"));
    files.Write(QStringLiteral("旧.bin"), QByteArray("OLD"));
    files.Write(QStringLiteral("新.bin"), QByteArray("NEW"));

    CDovraUpdaterDlg dialog;
    Field(dialog, "oldFolderEdit")->setText(files.Path(QStringLiteral("旧設定")));
    Field(dialog, "oldBinaryEdit")->setText(files.Path(QStringLiteral("旧.bin")));
    Field(dialog, "newBinaryEdit")->setText(files.Path(QStringLiteral("新.bin")));
    // Neither is the unmodified old binary's field, whatever it holds.
    Field(dialog, "baseBinaryEdit")->setText(QStringLiteral("/caf\u00e9/無い.bin"));
    for (const QString& newFolder : {files.Path(QStringLiteral("新設定")), QStringLiteral("/caf\u00e9")}) {
        Field(dialog, "newFolderEdit")->setText(newFolder);
        ModalScript boxes;
        boxes.answers = {Answer::Ok, Answer::Cancel}; // the parse failure, then (once it asks) the opening question
        Button(dialog, "createButton")->click();
        QVERIFY(!boxes.Texts().isEmpty());
        QCOMPARE(boxes.Texts().first(), ParseFailure(oldBad));
        QVERIFY(!boxes.Texts().join('\n').contains(QStringLiteral("新設定")));
        QVERIFY(!boxes.Texts().join('\n').contains(QStringLiteral("caf")));
        QCOMPARE(dialog.Updater().NewFolder(), std::string());
        QCOMPARE(dialog.Updater().BaseBinaryPath(), std::string());
        QVERIFY(dialog.Updater().OldImage().IsLoaded());
        QVERIFY(dialog.Updater().NewImage().IsLoaded());
    }
}

void DovraUpdaterDlgTest::createStopsAtABinaryThatFails() {
    Fixture files;
    files.Write(QStringLiteral("旧.bin"), QByteArray("OLD"));
    files.Write(QStringLiteral("新.bin"), QByteArray("NEW"));
    CDovraUpdaterDlg dialog;
    {
        Field(dialog, "newBinaryEdit")->setText(files.Path(QStringLiteral("新.bin")));
        ModalScript boxes;
        Button(dialog, "createButton")->click();
        QCOMPARE(boxes.Texts(), (QStringList{kCannotOpenMissing, kOldFailed}));
        QCOMPARE(dialog.Updater().NewBinaryPath(), std::string());
    }
    {
        Field(dialog, "oldBinaryEdit")->setText(files.Path(QStringLiteral("旧.bin")));
        Field(dialog, "newBinaryEdit")->setText(files.Path(QStringLiteral("無い.bin")));
        ModalScript boxes;
        Button(dialog, "createButton")->click();
        QCOMPARE(boxes.Texts(), (QStringList{kCannotOpenMissing, kNewFailed}));
        QVERIFY(dialog.Updater().OldImage().IsLoaded());
    }
    QCOMPARE(LogEdit(dialog)->toPlainText(), QString());
}

void DovraUpdaterDlgTest::unrepresentablePathIsRefusedBeforeAnyLoad() {
    Fixture files;
    WriteUnparsableTable(files, QStringLiteral("旧設定"));
    CDovraUpdaterDlg dialog;
    Field(dialog, "oldFolderEdit")->setText(files.Path(QStringLiteral("旧設定")));
    // é has no code page 932 form; WAVE DASH would come back as FULLWIDTH TILDE.
    for (const QString& path : {QStringLiteral("/data/caf\u00e9.bin"), QStringLiteral("/data/\u301c.bin")}) {
        Field(dialog, "oldBinaryEdit")->setText(path);
        for (const char* command : {"rewriteButton", "createButton"}) {
            ModalScript boxes;
            Button(dialog, command)->click();
            QCOMPARE(boxes.seen.size(), 1);
            QVERIFY2(boxes.seen[0].text.contains(path), qPrintable(boxes.seen[0].text));
            QVERIFY(boxes.seen[0].text.contains(QStringLiteral("Shift_JIS")));
            QCOMPARE(boxes.seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            // Nothing was loaded, not even the settings folder named before the bad path.
            QCOMPARE(dialog.Updater().OldFolder(), std::string());
            QCOMPARE(dialog.Updater().OldBinaryPath(), std::string());
        }
    }
}

void DovraUpdaterDlgTest::enterRunsTheRewriteAndKeepsTheWindow() {
    CDovraUpdaterDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const char* name : {"oldFolderEdit", "newFolderEdit", "oldBinaryEdit", "newBinaryEdit", "logEdit"}) {
        auto* field = dialog.findChild<QWidget*>(QLatin1String(name));
        field->setFocus();
        ModalScript boxes;
        // Every field is empty, so the rewrite ends at the old binary file: that is how we know it ran.
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(boxes.Texts(), (QStringList{kCannotOpenMissing, kOldFailed}));
        QVERIFY(dialog.isVisible());
    }
    // Ctrl+Enter breaks a line in the log pane and runs nothing.
    ModalScript boxes;
    QPlainTextEdit* log = LogEdit(dialog);
    log->setFocus();
    QTest::keyClicks(log, "a");
    QTest::keyClick(log, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClicks(log, "b");
    QCOMPARE(log->toPlainText(), QStringLiteral("a\nb"));
    QVERIFY(boxes.seen.isEmpty());
}

void DovraUpdaterDlgTest::escapeCloseBoxAndQuitEndWithoutAsking() {
    const QList<std::function<void(CDovraUpdaterDlg&)>> ways = {
        [](CDovraUpdaterDlg& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
        [](CDovraUpdaterDlg& dialog) { dialog.close(); },
        [](CDovraUpdaterDlg& dialog) { Button(dialog, "quitButton")->click(); },
    };
    for (const auto& way : ways) {
        CDovraUpdaterDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        ModalScript boxes;
        way(dialog);
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(boxes.seen.isEmpty());
    }
}

void DovraUpdaterDlgTest::logPaneAppendsEveryLineAtTheEnd() {
    CDovraUpdaterDlg dialog;
    QPlainTextEdit* log = LogEdit(dialog);
    // The pane is the user's too: whatever is typed there stays, and lines are added after it.
    log->setPlainText(QStringLiteral("メモ"));
    dialog.Updater().Log(Sj(QStringLiteral("　一行目")));
    dialog.Updater().Log(Sj(QStringLiteral("　エラー\r\n"))); // a line with its own CR LF: an empty line follows
    dialog.Updater().Log(Sj(QStringLiteral("勇者\nのHPを書き換え"))); // a record name's lone LF stays in its line
    dialog.Updater().Log(std::string("bad \x81"));                    // not code page 932: shown, not dropped
    QCOMPARE(log->toPlainText(), QStringLiteral("メモ　一行目\n　エラー\n\n勇者のHPを書き換え\nbad \uFFFD\n"));
    // A log line is no edit the user could take back.
    QVERIFY(!log->document()->isUndoAvailable());
}

void DovraUpdaterDlgTest::logPaneScrollsToTheEnd() {
    CDovraUpdaterDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QPlainTextEdit* log = LogEdit(dialog);
    for (int i = 0; i < 500; ++i) {
        dialog.Updater().Log("line " + std::to_string(i));
    }
    QScrollBar* bar = log->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(log->document()->blockCount(), 501);
    QCOMPARE(log->document()->lastBlock().previous().text(), QStringLiteral("line 499"));
}

void DovraUpdaterDlgTest::promptIsAnOkCancelBoxWithoutIcon() {
    CDovraUpdaterDlg dialog;
    ModalScript boxes;
    boxes.answers = {Answer::Ok, Answer::Cancel, Answer::Escape};
    QVERIFY(dialog.Updater().Confirm(Sj(QStringLiteral("上書きしますか？"))));
    QVERIFY(!dialog.Updater().Confirm(Sj(QStringLiteral("上書きしますか？"))));
    QVERIFY(!dialog.Updater().Confirm(Sj(QStringLiteral("上書きしますか？"))));
    QCOMPARE(boxes.seen.size(), 3);
    for (const auto& box : boxes.seen) {
        QCOMPARE(box.text, QStringLiteral("上書きしますか？"));
        QCOMPARE(box.title, QStringLiteral("DovraUpdater"));
        QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.icon, QMessageBox::NoIcon);
    }
}

void DovraUpdaterDlgTest::engineMessagesAreOkBoxes() {
    ModalScript boxes;
    {
        CDovraUpdaterDlg dialog;
        // A path is text, not markup.
        dovra::ShowMessageBox(Sj(QStringLiteral("<b>表</b>.iniの解析に失敗しました")));
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].text, QStringLiteral("<b>表</b>.iniの解析に失敗しました"));
        QCOMPARE(boxes.seen[0].textFormat, Qt::PlainText);
        QCOMPARE(boxes.seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(boxes.seen[0].icon, QMessageBox::NoIcon);
    }
    // Once the window is gone, the engine's messages no longer reach for it.
    dovra::ShowMessageBox(Sj(QStringLiteral("後")));
    QCOMPARE(boxes.seen.size(), 1);
}

void DovraUpdaterDlgTest::aboutBoxOpensFromF1AndTheContextMenu() {
    CDovraUpdaterDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Field(dialog, "oldFolderEdit")->setText(QStringLiteral("そのまま"));

    QStringList shown;
    ModalScript boxes;
    boxes.onOtherWindow = [&](QWidget* window) {
        shown.append(window->windowTitle());
        auto* version = window->findChild<QLabel*>(QStringLiteral("versionLabel"));
        shown.append(version != nullptr ? version->text() : QString());
        auto* icon = window->findChild<QLabel*>(QStringLiteral("iconLabel"));
        shown.append(icon != nullptr && !icon->pixmap().isNull() ? QStringLiteral("icon") : QStringLiteral("no icon"));
        window->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    };
    QTest::keyClick(Field(dialog, "newBinaryEdit"), Qt::Key_F1);
    QCOMPARE(boxes.otherWindows, QStringList{QStringLiteral("CAboutDlg")});
    QCOMPARE(shown, (QStringList{QStringLiteral("DovraUpdater について"),
                                 QStringLiteral("DovraUpdater、バージョン 1.0"), QStringLiteral("icon")}));

    // The same entry, with the system menu's text, is in the window's context menu.
    QCOMPARE(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(dialog.actions().size(), 1);
    QCOMPARE(dialog.actions().first()->text(), QStringLiteral("DovraUpdaterについて(&A)..."));
    dialog.actions().first()->trigger();
    QCOMPARE(boxes.otherWindows.size(), 2);

    // Closing it returns to the dialog unchanged.
    QVERIFY(dialog.isVisible());
    QCOMPARE(Field(dialog, "oldFolderEdit")->text(), QStringLiteral("そのまま"));
    QVERIFY(boxes.seen.isEmpty());
}

QTEST_MAIN(DovraUpdaterDlgTest)
#include "dovra_updater_dlg_test.moc"
