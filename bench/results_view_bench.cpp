// The dialog's results tab receiving the 10 000 tables of a large create, on Qt's offscreen platform.
//   BM_ResultsView_10000Rows: the rows shown after the command (the model filled, the filter chosen, the
//     columns sized, one repaint) and then sorted by a numeric column and by name, each with its repaint,
//     against the same cells put into a QStandardItemModel behind a sorting QTableView, in the same loop.
#include <QApplication>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>

#include <fmt/format.h>

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "ui/results_view.h"

namespace dovra::bench {
namespace {

constexpr int kRows = 10000;

// Tables as a create over a large settings folder records them: most moved, some at the same place, a few
// similar, not found or in error, about one in fifty with a ※ line. Names in code page 932, like the engine's.
const std::vector<CreateTableRecord>& Tables() {
    static const std::vector<CreateTableRecord> tables = [] {
        std::vector<CreateTableRecord> made;
        made.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            CreateTableRecord table;
            // "\x83\x65\x81\x5B\x83\x75\x83\x8B" is テーブル in code page 932.
            table.name = fmt::format("\x83\x65\x81\x5B\x83\x75\x83\x8B{:05d}", (i * 7919) % kRows);
            table.oldAddress = 0x00100000u + static_cast<std::uint32_t>((i * 104729) % 0x00F00000);
            table.size = 16u + static_cast<std::uint32_t>((i * 31) % 4096);
            table.matchCount = 1;
            switch (i % 50) {
            case 0:
                table.outcome = CreateOutcome::NotFound;
                table.matchCount = 0;
                break;
            case 1:
                table.outcome = CreateOutcome::Error;
                table.matchCount = 0;
                break;
            case 2:
                table.outcome = CreateOutcome::Similar;
                table.matchCount = 0;
                table.similarity = 97;
                table.newAddress = table.oldAddress + 0x40;
                break;
            case 3:
                table.outcome = CreateOutcome::Moved;
                table.matchCount = 3;
                table.newAddress = table.oldAddress + 0x40;
                // "\x81\xA6" is ※.
                table.notes.push_back("\x81\x40\x81\xA6\x93\xAF\x82\xB6\x83\x66\x81\x5B\x83\x5E\x82\xAA"
                                      "3");
                break;
            case 4:
                table.outcome = CreateOutcome::SameAddress;
                table.newAddress = table.oldAddress;
                break;
            default:
                table.outcome = CreateOutcome::Moved;
                table.newAddress = table.oldAddress + 0x40;
                break;
            }
            made.push_back(std::move(table));
        }
        return made;
    }();
    return tables;
}

// Shows the widget at the size the results tab has in the dialog's default window.
void ShowExposed(QWidget& widget) {
    widget.resize(560, 330);
    widget.show();
    QApplication::processEvents();
}

void BM_ResultsView_10000Rows(benchmark::State& state) {
    const auto& tables = Tables();
    double baselineFill = 0;
    double baselineSort = 0;
    double fill = 0;
    double sortByAddress = 0;
    double sortByName = 0;
    for (auto _ : state) {
        {
            // The same cells as the view shows, the plain way.
            ResultsModel cells;
            cells.ShowCreate(tables);
            QTableView table;
            QStandardItemModel items;
            table.setModel(&items);
            table.setSortingEnabled(true);
            ShowExposed(table);
            baselineFill += SecondsOf([&] {
                items.setRowCount(cells.rowCount());
                items.setColumnCount(cells.columnCount());
                for (int row = 0; row < cells.rowCount(); ++row) {
                    for (int column = 0; column < cells.columnCount(); ++column) {
                        auto* item = new QStandardItem(cells.index(row, column).data().toString());
                        item->setData(cells.index(row, column).data(ResultsModel::kSortRole), Qt::UserRole);
                        items.setItem(row, column, item);
                    }
                }
                table.resizeColumnsToContents();
                table.viewport()->repaint();
            });
            items.setSortRole(Qt::UserRole);
            baselineSort += SecondsOf([&] {
                table.sortByColumn(1, Qt::DescendingOrder);
                table.viewport()->repaint();
            });
        }
        ResultsView view;
        ShowExposed(view);
        const double seconds = SecondsOf([&] {
            view.ShowCreate(tables);
            view.SetFilter(ResultsFilter::All);
            view.Table().viewport()->repaint();
        });
        fill += seconds;
        sortByAddress += SecondsOf([&] {
            view.Table().sortByColumn(1, Qt::DescendingOrder);
            view.Table().viewport()->repaint();
        });
        sortByName += SecondsOf([&] {
            view.Table().sortByColumn(0, Qt::AscendingOrder);
            view.Table().viewport()->repaint();
        });
        state.SetIterationTime(seconds);
    }
    const auto perIteration = [&](double seconds) { return 1000 * seconds / static_cast<double>(state.iterations()); };
    state.counters["rows"] = kRows;
    state.counters["sort_address_ms"] = perIteration(sortByAddress);
    state.counters["sort_name_ms"] = perIteration(sortByName);
    state.counters["items_fill_ms"] = perIteration(baselineFill);
    state.counters["items_sort_ms"] = perIteration(baselineSort);
    state.counters["x_items_fill"] = fill / baselineFill;
    state.counters["x_items_sort"] = sortByAddress / baselineSort;
}
BENCHMARK(BM_ResultsView_10000Rows)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace dovra::bench

// The application object lives in main: Qt must not outlive it at exit. Offscreen unless told otherwise.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
