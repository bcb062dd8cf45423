#include "ui/log_pane_menu.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSaveFile>

#include "ui/dialog_texts.h"
#include "ui/message_boxes.h"

namespace dovra {
namespace {

// Writes the whole text or nothing: QSaveFile writes beside the target and renames over it only when every
// byte is on disk, so a full disk or a cancelled write never leaves half a log in place of a good file.
// Text mode gives the platform's line ends (CR LF on Windows, as Notepad expects).
bool WriteTextAtomically(const QString& path, const QString& text, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        error = file.errorString();
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

std::optional<QString> PickLogFileToSave(QWidget* parent) {
    const QString path =
        QFileDialog::getSaveFileName(parent, QString::fromUtf8(ui_text::kSaveLogCaption),
                                     QDir::home().filePath(QString::fromUtf8(ui_text::kSaveLogDefaultName)),
                                     QString::fromUtf8(ui_text::kSaveLogFilter));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

LogPaneMenu::LogPaneMenu(QPlainTextEdit& edit, QWidget* owner)
    : QObject(owner), m_edit(edit), m_owner(owner), m_savePathPicker(PickLogFileToSave) {
    setObjectName(QStringLiteral("logPaneMenu"));
    m_edit.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_edit, &QWidget::customContextMenuRequested, this, &LogPaneMenu::ShowMenu);
}

void LogPaneMenu::SetSavePathPicker(SavePathPicker picker) {
    m_savePathPicker = std::move(picker);
}

QMenu* LogPaneMenu::CreateMenu() {
    QMenu* menu = m_edit.createStandardContextMenu();
    const bool hasLog = !m_edit.document()->isEmpty();
    menu->addSeparator();
    QAction* save = menu->addAction(QString::fromUtf8(ui_text::kSaveLogAction), this, &LogPaneMenu::SaveLog);
    save->setObjectName(QStringLiteral("saveLogAction"));
    save->setEnabled(hasLog);
    QAction* copy = menu->addAction(QString::fromUtf8(ui_text::kCopyAllAction), this, &LogPaneMenu::CopyAll);
    copy->setObjectName(QStringLiteral("copyAllAction"));
    copy->setEnabled(hasLog);
    return menu;
}

void LogPaneMenu::SaveLog() {
    if (!m_savePathPicker) {
        return;
    }
    const auto path = m_savePathPicker(m_owner);
    if (!path) {
        return;
    }
    QString error;
    if (!WriteTextAtomically(*path, m_edit.toPlainText(), error)) {
        ShowOkBox(m_owner, QString::fromUtf8(ui_text::kSaveLogFailed).arg(QDir::toNativeSeparators(*path), error));
    }
}

void LogPaneMenu::CopyAll() {
    QGuiApplication::clipboard()->setText(m_edit.toPlainText());
}

void LogPaneMenu::ShowMenu(const QPoint& position) {
    QMenu* menu = CreateMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_edit.viewport()->mapToGlobal(position));
}

} // namespace dovra
