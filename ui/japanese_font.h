#pragma once

#include <QFont>

namespace dovra {

// The dialog's font: "MS UI Gothic" at 9 points where Windows has it, otherwise the first Japanese UI font
// the system has, otherwise the system's default, so the Japanese texts never fall back to boxes.
QFont JapaneseUiFont();

} // namespace dovra
