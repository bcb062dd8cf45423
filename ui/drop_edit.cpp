#include "ui/drop_edit.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

CDropEdit::CDropEdit(QWidget* parent) : QLineEdit(parent) {
    setAcceptDrops(true);
}

QString CDropEdit::FirstDroppedPath(const QMimeData& mime) {
    const QList<QUrl> urls = mime.urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) {
        return QString();
    }
    // Full length, never cut: a shortened path would silently name another file.
    return QDir::toNativeSeparators(urls.first().toLocalFile());
}

namespace {

// Item drops are answered here; a dragged piece of text still goes where QLineEdit puts it.
void AnswerItemDrag(QDropEvent& event) {
    if (CDropEdit::FirstDroppedPath(*event.mimeData()).isEmpty()) {
        event.ignore();
    } else {
        event.acceptProposedAction();
    }
}

} // namespace

void CDropEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        AnswerItemDrag(*event);
    } else {
        QLineEdit::dragEnterEvent(event);
    }
}

void CDropEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        AnswerItemDrag(*event);
    } else {
        QLineEdit::dragMoveEvent(event);
    }
}

void CDropEdit::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) {
        QLineEdit::dropEvent(event);
        return;
    }
    const QString path = FirstDroppedPath(*event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    setText(path);
    event->acceptProposedAction();
}
