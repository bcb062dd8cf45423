#include "ui/dovra_updater_app.h"

#include <QApplication>
#include <QIcon>

#include "ui/dovra_updater_dlg.h"
#include "ui/japanese_font.h"

int CDovraUpdaterApp::Run(int argc, char** argv) {
    // Qt 6 is DPI-aware on every platform; fractional scale factors (125 %, 150 %) are used as they are
    // rather than rounded, so the dialog is as large as its texts need.
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication application(argc, argv);
    ApplyLook(application);

    // The dialog, and with it the engine and both binary images, lives exactly as long as the window.
    CDovraUpdaterDlg dialog;
    QApplication::setWindowIcon(dialog.windowIcon());
    dialog.exec();
    return 0;
}

void CDovraUpdaterApp::ApplyLook(QApplication& application) {
    application.setApplicationName(QStringLiteral("DovraUpdater"));
    application.setApplicationVersion(QStringLiteral("1.0"));
    application.setFont(dovra::JapaneseUiFont());
}
