#pragma once

#include <functional>
#include <optional>

#include <QObject>
#include <QString>

class QMenu;
class QPlainTextEdit;
class QPoint;
class QWidget;

namespace dovra {

// Asks where to save the log: the chosen path, or nullopt when the user cancelled.
using SavePathPicker = std::function<std::optional<QString>(QWidget* parent)>;

// The platform's save dialog for the log, which asks before replacing a file.
std::optional<QString> PickLogFileToSave(QWidget* parent);

// The log pane's context menu: the edit control's own entries, then "ログを保存…" (the whole log as UTF-8
// text, written atomically) and "すべてコピー" (the whole log to the clipboard, without selecting it).
class LogPaneMenu : public QObject {
    Q_OBJECT

public:
    // Lives as a child of `owner`, the window that owns the pane and the boxes that report a failed save.
    LogPaneMenu(QPlainTextEdit& edit, QWidget* owner);

    void SetSavePathPicker(SavePathPicker picker);

    // The menu as it shows at the moment; the caller owns it.
    QMenu* CreateMenu();
    void SaveLog();
    void CopyAll();

private:
    void ShowMenu(const QPoint& position);

    QPlainTextEdit& m_edit;
    QWidget* m_owner;
    SavePathPicker m_savePathPicker;
};

} // namespace dovra
