// Takes the README's screenshot: the real dialog on the current display (an Xvfb server, see
// scripts/screenshot) after a create run, every question answered OK; with RESULTS.png, also the window
// with its results tab shown.
//   dovra_window_screenshot OLD_SETTINGS_FOLDER OLD_BINARY NEW_BINARY OUTPUT.png [RESULTS.png]
#include <cstdio>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

#include "support/gui_test_support.h"
#include "ui/dovra_updater_app.h"
#include "ui/dovra_updater_dlg.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CDovraUpdaterApp::ApplyLook(application);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 5 && arguments.size() != 6) {
        std::fprintf(stderr, "usage: dovra_window_screenshot OLD_SETTINGS_FOLDER OLD_BINARY NEW_BINARY OUTPUT.png "
                             "[RESULTS.png]\n");
        return 2;
    }

    CDovraUpdaterDlg dialog;
    // Taller than it opens, so the picture shows more of the log; the pane takes all the extra height.
    dialog.resize(640, 800);
    dialog.move(16, 16);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        std::fprintf(stderr, "the window did not appear\n");
        return 1;
    }
    dialog.findChild<QLineEdit*>(QStringLiteral("oldFolderEdit"))->setText(arguments[1]);
    dialog.findChild<QLineEdit*>(QStringLiteral("oldBinaryEdit"))->setText(arguments[2]);
    dialog.findChild<QLineEdit*>(QStringLiteral("newBinaryEdit"))->setText(arguments[3]);
    {
        dovra::test::ModalScript answers; // OK to the opening question and to the closing notice
        dialog.findChild<QPushButton*>(QStringLiteral("createButton"))->click();
        if (answers.seen.size() != 2) {
            std::fprintf(stderr, "expected the question and the notice, saw %lld boxes\n",
                         static_cast<long long>(answers.seen.size()));
            return 1;
        }
    }
    // Let the window manager and the pane settle before the picture.
    QTest::qWait(500);

    const QRect frame = dialog.frameGeometry();
    const QPixmap shot = dialog.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (!shot.save(arguments[4])) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(arguments[4]));
        return 1;
    }
    std::printf("%s: %dx%d\n", qPrintable(arguments[4]), shot.width(), shot.height());
    if (arguments.size() == 6) {
        dialog.findChild<QTabWidget*>(QStringLiteral("resultTabs"))->setCurrentIndex(1);
        QTest::qWait(200);
        // The window's own rendering: the frame is the window manager's and adds nothing to this picture.
        const QPixmap results = dialog.grab();
        if (!results.save(arguments[5])) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(arguments[5]));
            return 1;
        }
        std::printf("%s: %dx%d\n", qPrintable(arguments[5]), results.width(), results.height());
    }
    return 0;
}
