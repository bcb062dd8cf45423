// The results tab after real commands through the window: its rows against the log the same run wrote,
// the filter buttons and their counts, sorting, copying and the way back to a table's block in the log.
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBlock>

#include "support/gui_test_support.h"
#include "ui/dovra_updater_dlg.h"

using dovra::ResultsFilter;
using dovra::ResultsModel;
using dovra::ResultsView;
using dovra::test::Fixture;
using dovra::test::ModalScript;
using dovra::test::Sj;

namespace {

QByteArray Cp932(const QString& text) {
    return QByteArray::fromStdString(Sj(text));
}

QByteArray Noise(int size, quint32 seed) {
    QByteArray bytes(size, '\0');
    quint32 state = seed;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Five tables of 64 bytes in 64 KiB of noise, each with its own outcome: 同 stays at 0x1000 (the new binary
// has 0x100 bytes put in at 0x4000), 移 moves from 0x8000 to 0x8100 and a copy of it sits in the inserted
// bytes (two matches, a ※ line), 無 at 0x9000 is overwritten with other bytes in the new binary, 外 lies
// beyond the old binary, 似 at 0xA000 has two bytes changed. The edited old binary changes one byte of 同.
struct Sample {
    explicit Sample(const Fixture& files) {
        oldFolder = files.Folder(QStringLiteral("旧設定"));
        const QList<std::pair<QString, QString>> tables = {{QStringLiteral("同"), QStringLiteral("1000")},
                                                           {QStringLiteral("移"), QStringLiteral("8000")},
                                                           {QStringLiteral("無"), QStringLiteral("9000")},
                                                           {QStringLiteral("外"), QStringLiteral("20000")},
                                                           {QStringLiteral("似"), QStringLiteral("A000")}};
        for (const auto& [name, address] : tables) {
            files.Write(QStringLiteral("旧設定/%1.ini").arg(name),
                        Cp932(QStringLiteral("%1,値,4,8,0,,,0,,,\r\n").arg(address)));
            files.Write(QStringLiteral("旧設定/%1.idn").arg(name),
                        QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n"));
        }
        QByteArray old = Noise(0x10000, 1);
        QByteArray inserted = Noise(0x100, 2);
        inserted.replace(0x80, 64, old.mid(0x8000, 64));
        QByteArray updated = old.left(0x4000) + inserted + old.mid(0x4000);
        updated.replace(0x9100, 64, Noise(64, 3));
        updated[0xA100 + 5] = static_cast<char>(updated[0xA100 + 5] ^ 0x5A);
        updated[0xA100 + 40] = static_cast<char>(updated[0xA100 + 40] ^ 0x3C);
        oldBinary = files.Write(QStringLiteral("旧.bin"), old);
        newBinary = files.Write(QStringLiteral("新.bin"), updated);
        old[0x1002] = static_cast<char>(old[0x1002] ^ 0x11);
        editedBinary = files.Write(QStringLiteral("旧_編集.bin"), old);
    }

    QString oldFolder;
    QString oldBinary;
    QString newBinary;
    QString editedBinary;
};

void SetField(const QWidget& dialog, const char* name, const QString& text) {
    dialog.findChild<QLineEdit*>(QLatin1String(name))->setText(text);
}

ResultsView& Results(const QWidget& dialog) {
    return *dialog.findChild<ResultsView*>(QStringLiteral("resultsView"));
}

QPlainTextEdit& Log(const QWidget& dialog) {
    return *dialog.findChild<QPlainTextEdit*>(QStringLiteral("logEdit"));
}

QTabWidget& Tabs(const QWidget& dialog) {
    return *dialog.findChild<QTabWidget*>(QStringLiteral("resultTabs"));
}

void RunCreate(CDovraUpdaterDlg& dialog, const Sample& sample) {
    SetField(dialog, "oldFolderEdit", sample.oldFolder);
    SetField(dialog, "oldBinaryEdit", sample.oldBinary);
    SetField(dialog, "newBinaryEdit", sample.newBinary);
    ModalScript boxes; // OK to every question
    dialog.findChild<QPushButton*>(QStringLiteral("createButton"))->click();
}

void RunRewrite(CDovraUpdaterDlg& dialog, const Sample& sample) {
    SetField(dialog, "oldFolderEdit", sample.oldFolder);
    SetField(dialog, "newFolderEdit", sample.oldFolder + QStringLiteral("_NEW"));
    SetField(dialog, "oldBinaryEdit", sample.editedBinary);
    SetField(dialog, "newBinaryEdit", sample.newBinary);
    ModalScript boxes;
    dialog.findChild<QPushButton*>(QStringLiteral("rewriteButton"))->click();
}

// The cells of the view's row (after sorting and filtering), by the heading of their column.
QMap<QString, QString> Row(const ResultsView& view, int row) {
    QMap<QString, QString> cells;
    const auto& proxy = view.Proxy();
    for (int column = 0; column < proxy.columnCount(); ++column) {
        cells[proxy.headerData(column, Qt::Horizontal).toString()] = proxy.index(row, column).data().toString();
    }
    return cells;
}

QStringList Names(const ResultsView& view) {
    QStringList names;
    for (int row = 0; row < view.Proxy().rowCount(); ++row) {
        names.append(view.Proxy().index(row, 0).data().toString());
    }
    return names;
}

// The log lines of the block headed by `name` (up to the next table's name or the summary).
QStringList Block(const QStringList& lines, const QString& name, qsizetype from = 0) {
    const qsizetype start = lines.indexOf(name, from);
    if (start < 0) {
        return {};
    }
    QStringList block;
    for (qsizetype i = start; i < lines.size() && !lines[i].isEmpty(); ++i) {
        if (i > start && !lines[i].startsWith(QStringLiteral("　"))) {
            break;
        }
        block.append(lines[i]);
    }
    return block;
}

} // namespace

class ResultsViewTest : public QObject {
    Q_OBJECT

private slots:
    void createRowsAgreeWithTheLog();
    void createChoosesNeedsCheckAndCountsEveryFilter();
    void headingsSortNumbersAsNumbers();
    void enterAndDoubleClickShowTheTablesBlockInTheLog();
    void rewriteRowsAgreeWithTheLog();
    void selectedRowsCopyAsTabSeparatedText();
    void resultsComeSecondAndTheWindowKeepsItsSize();
};

void ResultsViewTest::createRowsAgreeWithTheLog() {
    Fixture files;
    Sample sample(files);
    CDovraUpdaterDlg dialog;
    RunCreate(dialog, sample);
    ResultsView& view = Results(dialog);
    view.SetFilter(ResultsFilter::All);
    const QStringList lines = Log(dialog).toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(view.Proxy().rowCount(), 5);

    QMap<QString, int> outcomes;
    for (int row = 0; row < view.Proxy().rowCount(); ++row) {
        const auto cells = Row(view, row);
        const QString name = cells[QStringLiteral("テーブル")];
        const QStringList block = Block(lines, name);
        QVERIFY2(block.size() >= 3, qPrintable(name));
        QCOMPARE(block[1], QStringLiteral("　ADDR: ") + cells[QStringLiteral("旧アドレス")]);
        QCOMPARE(block[2], QStringLiteral("　Size: ") + cells[QStringLiteral("サイズ")]);
        const QString newAddress = cells[QStringLiteral("新アドレス")];
        const QString outcome = cells[QStringLiteral("結果")];
        ++outcomes[outcome];
        if (outcome == QStringLiteral("移動")) {
            QVERIFY2(block.contains(QStringLiteral("　%1にデータ発見。").arg(newAddress)), qPrintable(name));
        } else if (outcome == QStringLiteral("同アドレス")) {
            QCOMPARE(newAddress, cells[QStringLiteral("旧アドレス")]);
            QVERIFY(block.contains(QStringLiteral("　同アドレスのため更新不要。ファイルをコピーします。")));
        } else if (outcome == QStringLiteral("似たデータ")) {
            QVERIFY(block.contains(QStringLiteral("　%1に似たデータがあります（一致率%2）。")
                                       .arg(newAddress, cells[QStringLiteral("一致率")])));
        } else {
            QVERIFY2(newAddress.isEmpty(), qPrintable(name));
        }
        // The note column holds the block's ※ lines, and only those.
        QStringList notes;
        for (const QString& line : block) {
            if (line.startsWith(QStringLiteral("　※"))) {
                notes.append(line.trimmed());
            }
        }
        QCOMPARE(cells[QStringLiteral("※")], notes.join(QLatin1Char(' ')));
    }
    // The rows come in the order the command took the tables, which is the log's.
    QCOMPARE(Row(view, 0)[QStringLiteral("テーブル")], QStringLiteral("移"));
    QCOMPARE(Row(view, 0)[QStringLiteral("一致数")], QStringLiteral("2"));
    // The summary line counts the same outcomes as the rows.
    const qsizetype summary = lines.indexOf(QStringLiteral("--- 結果 ---"));
    QVERIFY(summary > 0);
    QCOMPARE(lines[summary + 1], QStringLiteral("移動 %1　同アドレス %2　似たデータ %3　見つからず %4　エラー %5")
                                     .arg(outcomes[QStringLiteral("移動")])
                                     .arg(outcomes[QStringLiteral("同アドレス")])
                                     .arg(outcomes[QStringLiteral("似たデータ")])
                                     .arg(outcomes[QStringLiteral("見つからず")])
                                     .arg(outcomes[QStringLiteral("エラー")]));
    QCOMPARE(outcomes.size(), 5); // every outcome once
    QCOMPARE(lines[summary + 2], QStringLiteral("要確認 %1").arg(view.Model().Count(ResultsFilter::NeedsCheck)));
}

void ResultsViewTest::createChoosesNeedsCheckAndCountsEveryFilter() {
    Fixture files;
    Sample sample(files);
    CDovraUpdaterDlg dialog;
    RunCreate(dialog, sample);
    ResultsView& view = Results(dialog);
    // The run has a table to check: that filter is on, and the log tab is still the one shown.
    QVERIFY(view.FilterButton(ResultsFilter::NeedsCheck).isChecked());
    QCOMPARE(Tabs(dialog).currentIndex(), 0);
    QCOMPARE(Names(view), QStringList{QStringLiteral("移")});

    QCOMPARE(view.FilterButton(ResultsFilter::All).text(), QStringLiteral("すべて (5)"));
    QCOMPARE(view.FilterButton(ResultsFilter::NeedsCheck).text(), QStringLiteral("要確認 (1)"));
    QCOMPARE(view.FilterButton(ResultsFilter::NotFound).text(), QStringLiteral("見つからず (1)"));
    QCOMPARE(view.FilterButton(ResultsFilter::Error).text(), QStringLiteral("エラー (1)"));

    view.FilterButton(ResultsFilter::NotFound).click();
    QCOMPARE(Names(view), QStringList{QStringLiteral("無")});
    QVERIFY(!view.FilterButton(ResultsFilter::NeedsCheck).isChecked());
    view.FilterButton(ResultsFilter::Error).click();
    QCOMPARE(Names(view), QStringList{QStringLiteral("外")});
    view.FilterButton(ResultsFilter::All).click();
    QCOMPARE(Names(view), (QStringList{QStringLiteral("移"), QStringLiteral("外"), QStringLiteral("似"),
                                       QStringLiteral("同"), QStringLiteral("無")}));

    // A run with nothing to check shows all its tables; the counts are the new run's.
    Fixture cleanFiles;
    const QString folder = cleanFiles.Folder(QStringLiteral("旧設定"));
    cleanFiles.Write(QStringLiteral("旧設定/表.ini"), Cp932(QStringLiteral("10,値,2,2,0,,,0,,,\r\n")));
    cleanFiles.Write(QStringLiteral("旧設定/表.idn"), QByteArray("1\r\n2\r\n"));
    QByteArray image = Noise(0x40, 9);
    SetField(dialog, "oldFolderEdit", folder);
    SetField(dialog, "oldBinaryEdit", cleanFiles.Write(QStringLiteral("旧.bin"), image));
    SetField(dialog, "newBinaryEdit", cleanFiles.Write(QStringLiteral("新.bin"), image));
    view.FilterButton(ResultsFilter::Error).click();
    {
        ModalScript boxes;
        dialog.findChild<QPushButton*>(QStringLiteral("createButton"))->click();
    }
    QVERIFY(view.FilterButton(ResultsFilter::All).isChecked());
    QCOMPARE(view.FilterButton(ResultsFilter::All).text(), QStringLiteral("すべて (1)"));
    QCOMPARE(view.FilterButton(ResultsFilter::NeedsCheck).text(), QStringLiteral("要確認 (0)"));
    QCOMPARE(Names(view), QStringList{QStringLiteral("表")});
}

void ResultsViewTest::headingsSortNumbersAsNumbers() {
    Fixture files;
    Sample sample(files);
    CDovraUpdaterDlg dialog;
    RunCreate(dialog, sample);
    ResultsView& view = Results(dialog);
    view.SetFilter(ResultsFilter::All);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Tabs(dialog).setCurrentIndex(1);
    QHeaderView* header = view.Table().horizontalHeader();

    // 0x20000 has more digits than the rest: as text it would sort first in descending order too.
    const int oldAddress = 1;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(oldAddress) + 5, header->height() / 2));
    QCOMPARE(Names(view), (QStringList{QStringLiteral("同"), QStringLiteral("移"), QStringLiteral("無"),
                                       QStringLiteral("似"), QStringLiteral("外")}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(oldAddress) + 5, header->height() / 2));
    QCOMPARE(Names(view), (QStringList{QStringLiteral("外"), QStringLiteral("似"), QStringLiteral("無"),
                                       QStringLiteral("移"), QStringLiteral("同")}));

    // Tables without a new address come before every address.
    view.Table().sortByColumn(3, Qt::AscendingOrder);
    const QStringList byNew = Names(view);
    QCOMPARE(QSet<QString>(byNew.begin(), byNew.begin() + 2),
             (QSet<QString>{QStringLiteral("無"), QStringLiteral("外")}));
    QCOMPARE(byNew.mid(2), (QStringList{QStringLiteral("同"), QStringLiteral("移"), QStringLiteral("似")}));

    // Sorting keeps the filter.
    view.FilterButton(ResultsFilter::Error).click();
    QCOMPARE(Names(view), QStringList{QStringLiteral("外")});
}

void ResultsViewTest::enterAndDoubleClickShowTheTablesBlockInTheLog() {
    Fixture files;
    Sample sample(files);
    CDovraUpdaterDlg dialog;
    // Two runs in the log: the jump goes to the last run's block, not the first one with that name.
    RunCreate(dialog, sample);
    RunCreate(dialog, sample);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    ResultsView& view = Results(dialog);
    view.SetFilter(ResultsFilter::All);
    Tabs(dialog).setCurrentIndex(1);
    QTableView& table = view.Table();
    table.setFocus();
    table.setCurrentIndex(view.Proxy().index(4, 0)); // 無

    ModalScript boxes;
    QTest::keyClick(&table, Qt::Key_Return);
    // Enter on a row is no command: nothing ran and no box opened.
    QVERIFY(boxes.seen.isEmpty());
    QCOMPARE(Tabs(dialog).currentIndex(), 0);
    QPlainTextEdit& log = Log(dialog);
    QTextBlock shown = log.textCursor().block();
    QCOMPARE(shown.text(), QStringLiteral("無"));
    QCOMPARE(shown.next().text(), QStringLiteral("　ADDR: 00009000"));
    QVERIFY(shown.blockNumber() > log.document()->blockCount() / 2);
    QCOMPARE(log.textCursor().selectedText(), QStringLiteral("無"));
    QCOMPARE(QApplication::focusWidget(), &log);
    // The block is in sight: the first line visible is at most the block's.
    QVERIFY(log.cursorForPosition(QPoint(0, 0)).block().blockNumber() <= shown.blockNumber());
    QVERIFY(log.cursorRect().bottom() <= log.viewport()->height());

    Tabs(dialog).setCurrentIndex(1);
    const QModelIndex last = view.Proxy().index(2, 0); // 似
    // A double-click reaches the view as a press and release, then the double-click.
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(last).center());
    QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(last).center());
    QCOMPARE(Tabs(dialog).currentIndex(), 0);
    QCOMPARE(log.textCursor().block().text(), QStringLiteral("似"));
    QCOMPARE(log.textCursor().block().next().text(), QStringLiteral("　ADDR: 0000A000"));
}

void ResultsViewTest::rewriteRowsAgreeWithTheLog() {
    Fixture files;
    Sample sample(files);
    CDovraUpdaterDlg dialog;
    RunCreate(dialog, sample);
    const int createLines = Log(dialog).document()->blockCount() - 1;
    RunRewrite(dialog, sample);
    ResultsView& view = Results(dialog);
    view.SetFilter(ResultsFilter::All);
    const QStringList lines = Log(dialog).toPlainText().split(QLatin1Char('\n')).mid(createLines);
    QCOMPARE(view.Proxy().rowCount(), 5);

    QMap<QString, QString> outcomeOf;
    for (int row = 0; row < view.Proxy().rowCount(); ++row) {
        const auto cells = Row(view, row);
        const QString name = cells[QStringLiteral("テーブル")];
        const QStringList block = Block(lines, name);
        QVERIFY2(block.size() >= 2, qPrintable(name));
        outcomeOf[name] = cells[QStringLiteral("結果")];
        if (cells[QStringLiteral("結果")] == QStringLiteral("エラー")) {
            continue;
        }
        QCOMPARE(block[1], QStringLiteral("　ADDR:%1 -> %2")
                               .arg(cells[QStringLiteral("旧アドレス")], cells[QStringLiteral("新アドレス")]));
        QCOMPARE(block[2], QStringLiteral("　size:%1 -> %2")
                               .arg(cells[QStringLiteral("旧サイズ")], cells[QStringLiteral("新サイズ")]));
        const auto written = block.filter(QRegularExpression(QStringLiteral("を書き換え [0-9A-F]+ -> ")));
        QCOMPARE(QString::number(written.size()), cells[QStringLiteral("書き換えた項目")]);
        QCOMPARE(cells[QStringLiteral("競合")], QStringLiteral("0"));
    }
    // The edited byte is in 同; the tables the create did not write have no new definition.
    QCOMPARE(outcomeOf, (QMap<QString, QString>{{QStringLiteral("同"), QStringLiteral("書き換え")},
                                                {QStringLiteral("移"), QStringLiteral("一致")},
                                                {QStringLiteral("似"), QStringLiteral("書き換え")},
                                                {QStringLiteral("無"), QStringLiteral("エラー")},
                                                {QStringLiteral("外"), QStringLiteral("エラー")}}));
    QVERIFY(view.FilterButton(ResultsFilter::All).isChecked());
    QCOMPARE(view.FilterButton(ResultsFilter::Error).text(), QStringLiteral("エラー (2)"));
    QCOMPARE(view.FilterButton(ResultsFilter::NotFound).text(), QStringLiteral("見つからず (0)"));
    view.FilterButton(ResultsFilter::Error).click();
    QCOMPARE(view.Proxy().rowCount(), 2);

    // The jump finds the rewrite's block, after the create's block of the same name.
    view.FilterButton(ResultsFilter::All).click();
    const int same = static_cast<int>(Names(view).indexOf(QStringLiteral("同")));
    QVERIFY(dialog.ShowTableInLog(same));
    QCOMPARE(Log(dialog).textCursor().block().next().text(), QStringLiteral("　ADDR:00001000 -> 00001000"));
    QVERIFY(Log(dialog).textCursor().block().blockNumber() >= createLines);
}

void ResultsViewTest::selectedRowsCopyAsTabSeparatedText() {
    Fixture files;
    Sample sample(files);
    CDovraUpdaterDlg dialog;
    RunCreate(dialog, sample);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    ResultsView& view = Results(dialog);
    view.SetFilter(ResultsFilter::All);
    Tabs(dialog).setCurrentIndex(1);
    QTableView& table = view.Table();
    table.selectionModel()->select(view.Proxy().index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table.selectionModel()->select(view.Proxy().index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table.setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(&table, Qt::Key_C, Qt::ControlModifier);

    QString expected;
    for (int row : {0, 1}) {
        QStringList cells;
        for (int column = 0; column < view.Proxy().columnCount(); ++column) {
            cells.append(view.Proxy().index(row, column).data().toString());
        }
        expected += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    QCOMPARE(QApplication::clipboard()->text(), expected);
    QVERIFY(expected.startsWith(QStringLiteral("移\t00008000\t64\t00008100\t移動\t2\t")));
    QCOMPARE(expected.count(QLatin1Char('\n')), 2);
    QCOMPARE(expected.count(QLatin1Char('\t')), 2 * (view.Proxy().columnCount() - 1));
}

void ResultsViewTest::resultsComeSecondAndTheWindowKeepsItsSize() {
    CDovraUpdaterDlg dialog;
    QCOMPARE(Tabs(dialog).count(), 2);
    QCOMPARE(Tabs(dialog).tabText(0), QStringLiteral("ログ"));
    QCOMPARE(Tabs(dialog).tabText(1), QStringLiteral("結果"));
    QCOMPARE(Tabs(dialog).widget(0)->findChild<QPlainTextEdit*>(QStringLiteral("logEdit")), &Log(dialog));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.size(), QSize(600, 600));
    // Every control of the tab speaks its purpose.
    const ResultsView& view = Results(dialog);
    for (ResultsFilter filter :
         {ResultsFilter::All, ResultsFilter::NeedsCheck, ResultsFilter::NotFound, ResultsFilter::Error}) {
        QVERIFY(!view.FilterButton(filter).accessibleName().isEmpty());
        QVERIFY(!view.FilterButton(filter).accessibleDescription().isEmpty());
    }
    QVERIFY(!view.Table().accessibleName().isEmpty());
    QVERIFY(!view.Table().accessibleDescription().isEmpty());
}

QTEST_MAIN(ResultsViewTest)
#include "results_view_test.moc"
