#include "ui/log_pane.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

namespace dovra {
namespace {

// Often enough to look live, rarely enough that painting never dominates a long run.
constexpr qint64 kRepaintIntervalMs = 40;

// The line as the pane shows it, with the pane's own line end. Only a CR LF pair breaks a line, as in the
// Windows edit control the tool was made for: a lone LF, such as the one a record name keeps from its name
// list, stays inside its line instead of splitting it.
QString PaneText(const QString& line) {
    QString text;
    text.reserve(line.size() + 1);
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
    return text;
}

} // namespace

LogPane::LogPane(QPlainTextEdit& edit) : m_edit(edit) {}

void LogPane::Append(const QString& line) {
    QTextDocument* document = m_edit.document();
    // Program output is not the user's edit: like a text replaced by the program, it ends the undo history
    // (and keeps a long log from piling up undo steps).
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(PaneText(line));
    document->setUndoRedoEnabled(true);

    QScrollBar* bar = m_edit.verticalScrollBar();
    bar->setValue(bar->maximum());

    if (!m_sinceRepaint.isValid() || m_sinceRepaint.elapsed() >= kRepaintIntervalMs) {
        m_edit.viewport()->repaint();
        m_sinceRepaint.restart();
    }
}

} // namespace dovra
