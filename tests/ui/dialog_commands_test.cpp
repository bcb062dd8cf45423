// Both commands end to end through the window: real files in a temporary folder, the real message boxes
// answered by script, and what the user reads in the log pane afterwards.
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <utility>

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

// Bytes that occur once, so every table's neighbourhood can be told from any other place.
QByteArray Noise(int size, quint32 seed) {
    QByteArray bytes(size, '\0');
    quint32 state = seed;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Two tables of 64 bytes in 64 KiB of noise, A at 0x4000 and B at 0x8000; the new binary has 0x100 bytes put
// in front, holding a copy of A at 0x80, and two bytes of B changed. A's lowest match is the copy, its
// neighbourhood says 0x4100; B has no exact match but similar bytes at 0x8100.
struct DoubtfulSample {
    explicit DoubtfulSample(const Fixture& files) {
        oldFolder = files.Folder(QStringLiteral("旧設定"));
        for (const auto& [name, address] : {std::pair{QStringLiteral("A"), QStringLiteral("4000")},
                                            std::pair{QStringLiteral("B"), QStringLiteral("8000")}}) {
            files.Write(QStringLiteral("旧設定/%1.ini").arg(name),
                        Cp932(QStringLiteral("%1,値,4,8,0,,,0,,,\r\n").arg(address)));
            files.Write(QStringLiteral("旧設定/%1.idn").arg(name),
                        QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n"));
        }
        const QByteArray old = Noise(0x10000, 1);
        QByteArray inserted = Noise(0x100, 2);
        inserted.replace(0x80, 64, old.mid(0x4000, 64));
        QByteArray updated = inserted + old;
        updated[0x8100 + 5] = static_cast<char>(updated[0x8100 + 5] ^ 0x5A);
        updated[0x8100 + 40] = static_cast<char>(updated[0x8100 + 40] ^ 0x3C);
        oldBinary = files.Write(QStringLiteral("旧.bin"), old);
        newBinary = files.Write(QStringLiteral("新.bin"), updated);
    }

    QString oldFolder;
    QString oldBinary;
    QString newBinary;
};

void SetField(const QWidget& dialog, const char* name, const QString& text) {
    dialog.findChild<QLineEdit*>(QLatin1String(name))->setText(text);
}

// The three paths the create button reads.
template <typename AnySample> void FillCreateFields(const QWidget& dialog, const AnySample& sample) {
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
    void aMistypedFolderIsNamedAndNothingRuns();
    void createAsksAboutDoubtfulPlacesBetweenTheOpeningQuestionAndTheNotice();
    void createAnsweredCancelToTheDoubtfulPlacesKeepsTheLowestMatchAndSkipsTheSimilarTable();
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

void DialogCommandsTest::aMistypedFolderIsNamedAndNothingRuns() {
    Fixture files;
    Sample sample(files);
    CDovraUpdaterDlg dialog;
    FillCreateFields(dialog, sample);
    const QString typo = sample.oldFolder + QStringLiteral("x");
    SetField(dialog, "oldFolderEdit", typo);
    {
        ModalScript boxes;
        Click(dialog, "createButton");
        QCOMPARE(boxes.Texts(), QStringList{typo + QStringLiteral("フォルダが見つかりません")});
        QCOMPARE(boxes.seen.front().buttons, QMessageBox::Ok);
    }
    QVERIFY(!QFileInfo::exists(typo + QStringLiteral("_NEW")));

    SetField(dialog, "oldFolderEdit", sample.oldFolder);
    SetField(dialog, "newFolderEdit", typo);
    ModalScript boxes;
    Click(dialog, "rewriteButton");
    QCOMPARE(boxes.Texts(), QStringList{typo + QStringLiteral("フォルダが見つかりません")});
    QVERIFY(!QFileInfo::exists(sample.newBinary + QStringLiteral(".new")));
    QCOMPARE(LogLines(dialog), QStringList{QString()});
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

const QString kAlignedQuestion =
    QStringLiteral("1個のテーブルは同じデータが複数の場所にあり、最初の位置は前後のデータの移動と"
                   "合いません。前後のデータに合う位置を使いますか？");
const QString kSimilarQuestion =
    QStringLiteral("1個のテーブルは完全に一致するデータがありませんが、似たデータが見つかり"
                   "ました。その位置に合わせて定義ファイルを作成しますか？");

void DialogCommandsTest::createAsksAboutDoubtfulPlacesBetweenTheOpeningQuestionAndTheNotice() {
    Fixture files;
    DoubtfulSample sample(files);
    CDovraUpdaterDlg dialog;
    FillCreateFields(dialog, sample);

    ModalScript boxes; // OK to every box
    Click(dialog, "createButton");
    QCOMPARE(boxes.Texts(), (QStringList{QStringLiteral("無改造の旧バイナリファイル, 新バイナリファイル, "
                                                        "旧Dovra定義ファイルを使って新Dovra定義ファイルを作成します"),
                                         kAlignedQuestion, kSimilarQuestion, QStringLiteral("完了しました")}));
    const QString output = sample.oldFolder + QStringLiteral("_NEW");
    QCOMPARE(ReadFile(output + QStringLiteral("/A.ini")), Cp932(QStringLiteral("4100,値,4,8,0,,,0,,,\n")));
    QCOMPARE(ReadFile(output + QStringLiteral("/B.ini")), Cp932(QStringLiteral("8100,値,4,8,0,,,0,,,\n")));

    const QStringList lines = LogLines(dialog);
    const qsizetype a = lines.indexOf(QStringLiteral("A"));
    QVERIFY(a > 0);
    QCOMPARE(lines.mid(a + 3, 3), (QStringList{QStringLiteral("　00004100にデータ発見。"),
                                               QStringLiteral("　※同じデータが2か所にあります。"),
                                               QStringLiteral("　アドレスを256ずつ書き換え")}));
    const qsizetype b = lines.indexOf(QStringLiteral("B"));
    QVERIFY(b > a);
    QCOMPARE(lines[b + 3], QStringLiteral("　一致するデータが見つかりませんでした。"));
    QVERIFY2(lines[b + 4].startsWith(QStringLiteral("　00008100に似たデータがあります（一致率")),
             qPrintable(lines[b + 4]));
    const qsizetype summary = lines.indexOf(QStringLiteral("--- 結果 ---"));
    QCOMPARE(lines.mid(summary + 1),
             (QStringList{QStringLiteral("移動 1　同アドレス 0　似たデータ 1　見つからず 0　エラー 0"),
                          QStringLiteral("要確認 1"), QString()}));
}

void DialogCommandsTest::createAnsweredCancelToTheDoubtfulPlacesKeepsTheLowestMatchAndSkipsTheSimilarTable() {
    Fixture files;
    DoubtfulSample sample(files);
    CDovraUpdaterDlg dialog;
    FillCreateFields(dialog, sample);

    ModalScript boxes;
    boxes.answers = {Answer::Ok, Answer::Cancel, Answer::Cancel};
    Click(dialog, "createButton");
    QCOMPARE(boxes.seen.size(), 4);
    const QString output = sample.oldFolder + QStringLiteral("_NEW");
    QCOMPARE(ReadFile(output + QStringLiteral("/A.ini")), Cp932(QStringLiteral("80,値,4,8,0,,,0,,,\n")));
    QVERIFY(!QFileInfo::exists(output + QStringLiteral("/B.ini")));
    QVERIFY(QFileInfo::exists(output + QStringLiteral("/B.idn")));
    const QStringList lines = LogLines(dialog);
    QVERIFY(
        lines.contains(QStringLiteral("　※前後のデータから予想される位置（00004100）と違います。確認してください。")));
    const qsizetype summary = lines.indexOf(QStringLiteral("--- 結果 ---"));
    QCOMPARE(lines.mid(summary + 1),
             (QStringList{QStringLiteral("移動 1　同アドレス 0　似たデータ 0　見つからず 1　エラー 0"),
                          QStringLiteral("要確認 1"), QString()}));
}

QTEST_MAIN(DialogCommandsTest)
#include "dialog_commands_test.moc"
