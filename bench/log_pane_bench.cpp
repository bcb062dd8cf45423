// The dialog's log pane receiving the 100 000 field lines of a large rewrite, on Qt's offscreen platform.
// A command runs on the UI thread, so the pane is all the user sees of it: it must show progress often
// while the lines arrive and stay quick to scroll and append to once it holds them all.
//   BM_LogPane_100000Lines: the lines appended as the dialog does during a command (inside a batch),
//     against putting the same text into a fresh pane in one piece (setPlainText), in the same loop; the
//     longest time between two repaints, and the cost of an append and of a scroll once the pane is full.
//   BM_RewriteIntoLogPane: the rewrite of 100 000 changed fields with its log going to the pane, against
//     the same rewrite logging into nothing.
#include <functional>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "bench/rewrite_files.h"
#include "engine/definition_updater.h"
#include "engine/encoding.h"
#include "ui/log_pane.h"

namespace dovra::bench {
namespace {

constexpr int kLines = 100000;

// A rewrite's field lines as the dialog receives them, record names with the line feed they keep from
// their name list.
const QStringList& FieldLines() {
    static const QStringList lines = [] {
        QStringList made;
        made.reserve(kLines);
        for (int i = 0; i < kLines; ++i) {
            made.push_back(QStringLiteral("　[%1]:ポーション%2\nの攻撃力を書き換え %3 -> %4")
                               .arg(0x00120000 + 4 * i, 8, 16, QLatin1Char('0'))
                               .arg(i / 16)
                               .arg(i % 4096, 4, 16, QLatin1Char('0'))
                               .arg((i + 1) % 4096, 4, 16, QLatin1Char('0'))
                               .toUpper());
        }
        return made;
    }();
    return lines;
}

// Shows the widget and lets the platform expose it, so that repaints reach it.
void ShowExposed(QWidget& widget) {
    widget.resize(760, 320);
    widget.show();
    QApplication::processEvents();
}

// The pane as the dialog has it: a plain text edit of the dialog's size, shown.
struct Pane {
    Pane() : log(edit) { ShowExposed(edit); }
    QPlainTextEdit edit;
    LogPane log;
};

// Records the time between repaints of the pane's viewport.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget& viewport) { viewport.installEventFilter(this); }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (m_sinceLast.isValid()) {
                m_longestGap = std::max(m_longestGap, m_sinceLast.nsecsElapsed());
            }
            m_sinceLast.start();
            ++m_paints;
        }
        return false;
    }
    void Start() { m_sinceLast.start(); }
    double LongestGapMs() const { return static_cast<double>(m_longestGap) / 1e6; }
    int Paints() const { return m_paints; }

private:
    QElapsedTimer m_sinceLast;
    qint64 m_longestGap = 0;
    int m_paints = 0;
};

void BM_LogPane_100000Lines(benchmark::State& state) {
    const QStringList& lines = FieldLines();
    const QString whole = lines.join(QLatin1Char('\n'));
    double baseline = 0;
    double appended = 0;
    double longestGap = 0;
    double appendAfter = 0;
    double scroll = 0;
    int paints = 0;
    for (auto _ : state) {
        {
            QPlainTextEdit edit;
            ShowExposed(edit);
            baseline += SecondsOf([&] {
                edit.setPlainText(whole);
                edit.verticalScrollBar()->setValue(edit.verticalScrollBar()->maximum());
                edit.viewport()->repaint();
            });
        }
        Pane pane;
        PaintWatch watch(*pane.edit.viewport());
        const double seconds = SecondsOf([&] {
            LogPane::Batch batch(pane.log);
            watch.Start();
            for (const QString& line : lines) {
                pane.log.Append(line);
            }
        });
        appended += seconds;
        state.SetIterationTime(seconds);
        longestGap = std::max(longestGap, watch.LongestGapMs());
        paints = watch.Paints();
        // The full pane afterwards: one more line as a command's first line arrives, and a scroll to the top
        // and back, each with its repaint.
        appendAfter += SecondsOf([&] {
            pane.log.Append(lines.front());
            pane.edit.viewport()->repaint();
        });
        scroll += SecondsOf([&] {
            QScrollBar* bar = pane.edit.verticalScrollBar();
            bar->setValue(0);
            pane.edit.viewport()->repaint();
            bar->setValue(bar->maximum());
            pane.edit.viewport()->repaint();
        });
    }
    const auto perIteration = [&](double seconds) { return 1000 * seconds / static_cast<double>(state.iterations()); };
    state.counters["set_text_ms"] = perIteration(baseline);
    state.counters["x_set_text"] = appended / baseline;
    state.counters["longest_paint_gap_ms"] = longestGap;
    state.counters["paints"] = paints;
    state.counters["append_when_full_ms"] = perIteration(appendAfter);
    state.counters["scroll_when_full_ms"] = perIteration(scroll);
}
BENCHMARK(BM_LogPane_100000Lines)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// An engine with both folders and both binaries of the rewrite case loaded, logging into `sink`.
std::unique_ptr<CDefinitionUpdater> LoadedEngine(const RewriteFiles& files,
                                                 std::function<void(const std::string&)> sink) {
    auto engine = std::make_unique<CDefinitionUpdater>();
    engine->m_log = std::move(sink);
    engine->m_confirm = [](const std::string&) { return true; };
    engine->LoadOldSettings(files.OldFolder());
    engine->LoadNewSettings(files.NewFolder());
    engine->LoadOldBinary(files.OldBinary());
    engine->LoadNewBinary(files.NewBinary());
    TouchPages(engine->OldImage().data.get(), engine->OldImage().size);
    TouchPages(engine->NewImage().data.get(), engine->NewImage().size);
    return engine;
}

// The rewrite with its log going where the dialog sends it (converted for display, into the pane, inside
// the command's batch, written out when the command ends), against the same rewrite logging into nothing.
void BM_RewriteIntoLogPane(benchmark::State& state) {
    const RewriteFiles& files = CachedRewriteFiles();
    double baseline = 0;
    double withPane = 0;
    double longestGap = 0;
    std::size_t lines = 0;
    for (auto _ : state) {
        lines = 0;
        const auto counting = LoadedEngine(files, [&](const std::string&) { ++lines; });
        baseline += SecondsOf([&] { counting->Rewrite(); });
        Pane pane;
        const auto engine = LoadedEngine(
            files, [&](const std::string& line) { pane.log.Append(QString::fromStdString(Cp932ToUtf8Lossy(line))); });
        PaintWatch watch(*pane.edit.viewport());
        const double seconds = SecondsOf([&] {
            LogPane::Batch batch(pane.log);
            watch.Start();
            engine->Rewrite();
        });
        withPane += seconds;
        state.SetIterationTime(seconds);
        longestGap = std::max(longestGap, watch.LongestGapMs());
    }
    state.counters["log_lines"] = static_cast<double>(lines);
    state.counters["no_pane_ms"] = 1000 * baseline / static_cast<double>(state.iterations());
    state.counters["x_no_pane"] = withPane / baseline;
    state.counters["longest_paint_gap_ms"] = longestGap;
}
BENCHMARK(BM_RewriteIntoLogPane)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

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
