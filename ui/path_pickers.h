#pragma once

#include <functional>
#include <optional>

#include <QString>

class QWidget;

namespace dovra {

enum class PickerKind {
    Folder, // an existing folder
    File,   // an existing file in an existing folder
};

// Asks the user for a path: the chosen full path, or nullopt when the picker was cancelled or closed. The
// dialog holds one of these so tests can answer in its place.
using PathPicker = std::function<std::optional<QString>(QWidget* parent, PickerKind kind)>;

// The platform's open-folder and open-file dialogs, started wherever the platform puts them.
std::optional<QString> PickWithFileDialog(QWidget* parent, PickerKind kind);

} // namespace dovra
