#pragma once

#include <QElapsedTimer>
#include <QString>

class QPlainTextEdit;

namespace dovra {

// Writes log lines into the dialog's log pane: each line is appended at the end, followed by a line end,
// and the pane scrolls to the end. The pane is only ever appended to, never set again whole, so a rewrite
// that logs a hundred thousand fields stays linear.
//
// A command runs on the UI thread without returning to the event loop, so while one runs (a Batch is
// open) the lines are gathered and written out, scrolled to and repainted every few tens of milliseconds:
// the user sees progress, and the pane's per-insertion layout work is paid per piece rather than per line.
// The rest is written when the batch ends and before any box is shown (Flush), so a question never
// appears before the lines that lead to it.
class LogPane {
public:
    explicit LogPane(QPlainTextEdit& edit);

    // `line` may hold its own CR LF (some engine lines end with one); the pane's line end still follows it.
    void Append(const QString& line);
    // Writes out what is gathered, scrolls to the end and, inside a batch, repaints at once.
    void Flush();

    class Batch {
    public:
        explicit Batch(LogPane& pane);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        LogPane& m_pane;
    };

private:
    QPlainTextEdit& m_edit;
    QString m_pending;
    int m_batchDepth = 0;
    QElapsedTimer m_sinceFlush;
};

} // namespace dovra
