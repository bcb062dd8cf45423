#include "ui/message_boxes.h"

#include <QMessageBox>
#include <QWidget>

namespace dovra {
namespace {

int RunBox(QWidget* owner, const QString& text, QMessageBox::StandardButtons buttons) {
    const QString caption = owner != nullptr ? owner->window()->windowTitle() : QString();
    QMessageBox box(QMessageBox::NoIcon, caption, text, buttons, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec();
}

} // namespace

void ShowOkBox(QWidget* owner, const QString& text) {
    RunBox(owner, text, QMessageBox::Ok);
}

bool AskOkCancel(QWidget* owner, const QString& text) {
    return RunBox(owner, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

} // namespace dovra
