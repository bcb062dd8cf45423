#include "ui/dovra_updater_app.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui/dialog_texts.h"
#include "ui/dovra_updater_dlg.h"
#include "ui/japanese_font.h"

int CDovraUpdaterApp::Run(int argc, char** argv) {
    // Qt 6 is DPI-aware on every platform; fractional scale factors (125 %, 150 %) are used as they are
    // rather than rounded, so the dialog is as large as its texts need.
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication application(argc, argv);
    SetIdentity(application);
    // Before the fonts are looked up: --help and --version end the program there without the application's
    // destructor, and what the font lookup holds would be left unreleased.
    ParseCommandLine(application);
    ApplyLook(application);

    // The dialog, and with it the engine and both binary images, lives exactly as long as the window.
    CDovraUpdaterDlg dialog;
    QApplication::setWindowIcon(dialog.windowIcon());
    dialog.exec();
    return 0;
}

void CDovraUpdaterApp::SetIdentity(QApplication& application) {
    application.setApplicationName(QStringLiteral("DovraUpdater"));
    application.setApplicationVersion(QStringLiteral(DOVRA_VERSION));
}

void CDovraUpdaterApp::ApplyLook(QApplication& application) {
    SetIdentity(application);
    application.setFont(dovra::JapaneseUiFont());

    // Qt's own texts (the message boxes' "Cancel", the pickers) in Japanese like the rest of the window,
    // whatever the system's language: from Qt's installation, or from "translations" beside the program
    // where a Windows deployment puts them. Without them Qt's English texts remain.
    auto* translator = new QTranslator(&application);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                  QCoreApplication::applicationDirPath() + QStringLiteral("/translations")}) {
        if (translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            application.installTranslator(translator);
            return;
        }
    }
}

void CDovraUpdaterApp::ParseCommandLine(const QApplication& application) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(dovra::ui_text::kCommandLineDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    // --help and --version answer and end the program, an unknown option is refused with its name (on
    // Windows, where the program has no console, in a message box); Qt's own options are already taken.
    parser.process(application);
}
