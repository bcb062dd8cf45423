#include "ui/log_pane.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

namespace dovra {
namespace {

// Often enough to look live, rarely enough that writing and painting never dominate a long run.
constexpr qint64 kFlushIntervalMs = 40;
// The engine can produce a hundred thousand lines within one interval; laying them all out at once froze
// the pane for a third of a second. Past this many characters the lines are written out (and painted)
// early, which keeps every step short at a small cost in repaints.
constexpr qsizetype kMaxPendingChars = 256 * 1024;

// Appends the line as the pane shows it, with the pane's own line end. Only a CR LF pair breaks a line, as
// in the Windows edit control the tool was made for: a lone LF, such as the one a record name keeps from its
// name list, stays inside its line instead of splitting it.
void AppendPaneText(QString& text, const QString& line) {
    text.reserve(text.size() + line.size() + 1);
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('\r') && i + 1 < line.size() && line[i + 1] == QLatin1Char('\n')) {
            text += QLatin1Char('\n');
            ++i;
        } else if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) {
            text += c;
        }
    }
    text += QLatin1Char('\n');
}

} // namespace

LogPane::LogPane(QPlainTextEdit& edit) : m_edit(edit) {
    m_sinceFlush.start();
}

void LogPane::Append(const QString& line) {
    AppendPaneText(m_pending, line);
    if (m_batchDepth == 0 || m_sinceFlush.elapsed() >= kFlushIntervalMs || m_pending.size() >= kMaxPendingChars) {
        Flush();
    }
}

void LogPane::Flush() {
    m_sinceFlush.restart();
    if (m_pending.isEmpty()) {
        return;
    }
    QTextDocument* document = m_edit.document();
    // Program output is not the user's edit: like a text replaced by the program, it ends the undo history
    // (and keeps a long log from piling up undo steps).
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_pending);
    document->setUndoRedoEnabled(true);
    m_pending.clear();

    QScrollBar* bar = m_edit.verticalScrollBar();
    bar->setValue(bar->maximum());
    if (m_batchDepth > 0) {
        m_edit.viewport()->repaint();
    }
}

LogPane::Batch::Batch(LogPane& pane) : m_pane(pane) {
    ++m_pane.m_batchDepth;
}

LogPane::Batch::~Batch() {
    --m_pane.m_batchDepth;
    m_pane.Flush();
}

} // namespace dovra
