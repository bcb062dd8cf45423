#pragma once

#include <QString>

class QWidget;

namespace dovra {

// The application's modal boxes: plain text (a path with "<" is not markup), no icon, the owner's window
// title as caption. Both wait until the user answers.
void ShowOkBox(QWidget* owner, const QString& text);
// True exactly for OK; Cancel, Escape and the close box give false.
bool AskOkCancel(QWidget* owner, const QString& text);

} // namespace dovra
