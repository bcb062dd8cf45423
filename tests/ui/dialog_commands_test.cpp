// Both commands end to end through the window: real files in a temporary folder, the real message boxes
// answered by script, and what the user reads in the log pane afterwards.
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "support/gui_test_support.h"
#include "ui/dovra_updater_dlg.h"

using dovra::test::Answer;
using dovra::test::Fixture;
using dovra::test::ModalScript;
using dovra::test::Sj;

namespace {

QByteArray Cp932(const QString& text) {
    return QByteArray::fromStdString(Sj(text));
}

// Byte i of the old binary; no four bytes in a row repeat within it, so each table is found exactly once.
char OldByte(int i) {
    return static_cast<char>((i * 3 + 1) & 0xFF);
}

// A settings folder with one table 表 (its name holds the byte 0x5C) at 0x10: records of one 2-byte field
// 値, two records 一 and 二. The new binary is the old one with 8 bytes put in front, so the table moved to
// 0x18. The edited old binary has record 二's low byte changed to 0x99.
struct Sample {
    explicit Sample(const Fixture& files) {
        oldFolder = files.Folder(QStringLiteral("旧設定"));
        files.Write(QStringLiteral("旧設定/表.ini"),
                    Cp932(QStringLiteral("10,値,2,2,0,,,0,,,\r\n11,値,2,2,0,,,0,,,\r\n")));
        files.Write(QStringLiteral("旧設定/表.idn"), Cp932(QStringLiteral("一\r\n二\r\n")));
        QByteArray image(0x40, '\0');
        for (int i = 0; i < image.size(); ++i) {
            image[i] = OldByte(i);
        }
        oldBinary = files.Write(QStringLiteral("旧.bin"), image);
        newBinary = files.Write(QStringLiteral("新.bin"), QByteArray(8, '\xEE') + image);
        image[0x12] = '\x99';
        editedBinary = files.Write(QStringLiteral("旧_編集.bin"), image);
    }

    QString oldFolder;
    QString oldBinary;
    QString newBinary;
    QString editedBinary;
};

void SetField(const QWidget& dialog, const char* name, const QString& text) {
    dialog.findChild<QLineEdit*>(QLatin1String(name))->setText(text);
}

// The three paths the create button reads.
void FillCreateFields(const QWidget& dialog, const Sample& sample) {
    SetField(dialog, "oldFolderEdit", sample.oldFolder);
    SetField(dialog, "oldBinaryEdit", sample.oldBinary);
    SetField(dialog, "newBinaryEdit", sample.newBinary);
}

void Click(const QWidget& dialog, const char* name) {
    dialog.findChild<QPushButton*>(QLatin1String(name))->click();
}

QStringList LogLines(const QWidget& dialog) {
    return dialog.findChild<QPlainTextEdit*>(QStringLiteral("logEdit"))->toPlainText().split(QLatin1Char('\n'));
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class DialogCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void createWritesTheNewFolderAndLogsEachStep();
    void createAnsweredCancelWritesNothing();
    void rewriteAfterCreateCarriesTheEditOverAndKeepsBothLogs();
};

void DialogCommandsTest::createWritesTheNewFolderAndLogsEachStep() {
    Fixture files;
    Sample sample(files);
    CDovraUpdaterDlg dialog;
    FillCreateFields(dialog, sample);

    ModalScript boxes; // OK to the opening question and to the closing notice
    Click(dialog, "createButton");
    QCOMPARE(boxes.Texts(), (QStringList{QStringLiteral("無改造の旧バイナリファイル, 新バイナリファイル, "
                                                        "旧Dovra定義ファイルを使って新Dovra定義ファイルを作成します"),
                                         QStringLiteral("完了しました")}));
    for (const auto& box : boxes.seen) {
        QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    }

    const QString output = sample.oldFolder + QStringLiteral("_NEW");
    QCOMPARE(ReadFile(output + QStringLiteral("/表.ini")),
             Cp932(QStringLiteral("18,値,2,2,0,,,0,,,\n19,値,2,2,0,,,0,,,\n")));
    QCOMPARE(ReadFile(output + QStringLiteral("/表.idn")), Cp932(QStringLiteral("一\r\n二\r\n")));

    // The copy line's own LF does not split the pane's lines; every line ends with the pane's line end.
    const QStringList lines = LogLines(dialog);
    QCOMPARE(lines.first(),
             QStringLiteral("旧設定_NEWフォルダを作成").prepend(QFileInfo(sample.oldFolder).path() + '/'));
    QVERIFY(lines.contains(QStringLiteral("--- idnファイルの複製 ---")));
    QVERIFY(lines.contains(QStringLiteral("コピー成功: ") + output + QStringLiteral("/表.idn")));
    const qsizetype table = lines.indexOf(QStringLiteral("表"));
    QVERIFY(table > 0);
    QCOMPARE(lines.mid(table, 5),
             (QStringList{QStringLiteral("表"), QStringLiteral("　ADDR: 00000010"), QStringLiteral("　Size: 4"),
                          QStringLiteral("　00000018にデータ発見。"), QStringLiteral("　アドレスを8ずつ書き換え")}));
    // The summary ends the log, before the closing notice.
    const qsizetype summary = lines.indexOf(QStringLiteral("--- 結果 ---"));
    QVERIFY(summary > table);
    QCOMPARE(lines.mid(summary + 1),
             (QStringList{QStringLiteral("移動 1　同アドレス 0　似たデータ 0　見つからず 0　エラー 0"),
                          QStringLiteral("要確認 0"), QString()}));
}

void DialogCommandsTest::createAnsweredCancelWritesNothing() {
    Fixture files;
    Sample sample(files);
    CDovraUpdaterDlg dialog;
    FillCreateFields(dialog, sample);

    ModalScript boxes;
    boxes.answers = {Answer::Cancel};
    Click(dialog, "createButton");
    QCOMPARE(boxes.seen.size(), 1);
    QVERIFY(!QFileInfo::exists(sample.oldFolder + QStringLiteral("_NEW")));
}

void DialogCommandsTest::rewriteAfterCreateCarriesTheEditOverAndKeepsBothLogs() {
    Fixture files;
    Sample sample(files);
    CDovraUpdaterDlg dialog;
    FillCreateFields(dialog, sample);
    {
        ModalScript boxes;
        Click(dialog, "createButton");
    }
    const QStringList createLines = LogLines(dialog);

    SetField(dialog, "newFolderEdit", sample.oldFolder + QStringLiteral("_NEW"));
    SetField(dialog, "oldBinaryEdit", sample.editedBinary);
    ModalScript boxes; // OK to the question, OK to the notice
    // The log is written out in pieces while a command runs, but always before a box asks something.
    QStringList linesAtQuestion;
    boxes.onMessageBox = [&](QMessageBox*) {
        if (linesAtQuestion.isEmpty()) {
            linesAtQuestion = LogLines(dialog);
        }
    };
    Click(dialog, "rewriteButton");
    const QString written = sample.newBinary + QStringLiteral(".new");
    QCOMPARE(boxes.Texts(),
             (QStringList{QStringLiteral("表のデータに1/4 Byteの違いがあります。上書きしますか？"),
                          QStringLiteral("新バイナリファイルを") + written + QStringLiteral("に出力しました")}));

    QByteArray expected = ReadFile(sample.newBinary);
    expected[0x1A] = '\x99';
    QCOMPARE(ReadFile(written), expected);

    // The rewrite's lines follow the create's; the record name's LF stays inside its line.
    const QStringList lines = LogLines(dialog);
    QCOMPARE(lines.mid(0, createLines.size() - 1), createLines.mid(0, createLines.size() - 1));
    const QStringList rewriteLines = lines.mid(createLines.size() - 1);
    QCOMPARE(linesAtQuestion.mid(createLines.size() - 1),
             (QStringList{QStringLiteral("表"), QStringLiteral("　ADDR:00000010 -> 00000018"),
                          QStringLiteral("　size:4 -> 4"), QString()}));
    QCOMPARE(rewriteLines,
             (QStringList{
                 QStringLiteral("表"), QStringLiteral("　ADDR:00000010 -> 00000018"), QStringLiteral("　size:4 -> 4"),
                 QStringLiteral("　[0000001A]:二の値を書き換え 3A37 -> 3A99"), QString(),
                 QStringLiteral("新バイナリファイルを") + written + QStringLiteral("に出力しました"), QString()}));
}

QTEST_MAIN(DialogCommandsTest)
#include "dialog_commands_test.moc"
