#include "ui/about_dlg.h"

#include "ui/dialog_resources.h"
#include "ui_about_dlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDlg>()) {
    dovra::InitDialogResources();
    m_ui->setupUi(this);
    // The template's "%1" is the version: the project's one version number, not a copy of it.
    m_ui->versionLabel->setText(m_ui->versionLabel->text().arg(QStringLiteral(DOVRA_VERSION)));
    // A fixed little box with a caption and a close box, nothing to resize or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}

CAboutDlg::~CAboutDlg() = default;
