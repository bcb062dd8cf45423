#include "ui/path_pickers.h"

#include <QDir>
#include <QFileDialog>

#include "ui/dialog_texts.h"

namespace dovra {

std::optional<QString> PickWithFileDialog(QWidget* parent, PickerKind kind) {
    QString path;
    if (kind == PickerKind::Folder) {
        path = QFileDialog::getExistingDirectory(parent, QString(), QString(), QFileDialog::ShowDirsOnly);
    } else {
        path = QFileDialog::getOpenFileName(parent, QString(), QString(), QString::fromUtf8(ui_text::kAllFilesFilter));
    }
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return QDir::toNativeSeparators(path);
}

} // namespace dovra
