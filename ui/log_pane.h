#pragma once

#include <QElapsedTimer>
#include <QString>

class QPlainTextEdit;

namespace dovra {

// Writes a command's log lines into the dialog's log pane. Each line is appended at the end, followed by a
// line end, and the pane scrolls to the end. Appending (instead of setting the whole text again) keeps a
// rewrite that logs a hundred thousand fields linear. A command runs on the UI thread without returning to
// the event loop, so the pane is repainted here, at most every few tens of milliseconds, to show progress.
class LogPane {
public:
    explicit LogPane(QPlainTextEdit& edit);

    // `line` may hold its own CR LF (some engine lines end with one); the pane's line end still follows it.
    void Append(const QString& line);

private:
    QPlainTextEdit& m_edit;
    QElapsedTimer m_sinceRepaint;
};

} // namespace dovra
