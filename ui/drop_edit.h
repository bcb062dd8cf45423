#pragma once

#include <QLineEdit>

class QMimeData;

// A one-line path field that also takes files and folders dropped from the file manager: the first dropped
// item's full path replaces the whole text. Neither the item's kind nor its existence is checked here; the
// commands find out when they load the path.
class CDropEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CDropEdit(QWidget* parent = nullptr);

    // The full path of the first item of a drop, in the platform's own form; empty when the first item is
    // not a local file or folder (for example a web link), so the drop changes nothing.
    static QString FirstDroppedPath(const QMimeData& mime);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
