#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "support/gui_test_support.h"
#include "ui/about_dlg.h"

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// The installed program as a desktop or a terminal starts it, on the offscreen platform so that a window it
// should not have opened makes the run time out rather than appear.
Run RunDialogProgram(const QStringList& arguments) {
    QProcess process;
    process.setProgram(QStringLiteral(DOVRA_DIALOG_PATH));
    process.setArguments(QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")} + arguments);
    process.start();
    Run run;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

class ProgramIdentityTest : public QObject {
    Q_OBJECT

private slots:
    void versionAnswersAndExits();
    void helpNamesTheOptionsAndTheCommandLineProgram();
    void unknownOptionIsRefusedByName();
    void aboutBoxShowsTheProjectVersionAndTheLicence();
};

void ProgramIdentityTest::versionAnswersAndExits() {
    const Run run = RunDialogProgram({QStringLiteral("--version")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("DovraUpdater " DOVRA_VERSION "\n"));
    // The short form too, as Qt's parser gives it.
    QCOMPARE(RunDialogProgram({QStringLiteral("-v")}).out, run.out);
}

void ProgramIdentityTest::helpNamesTheOptionsAndTheCommandLineProgram() {
    const Run run = RunDialogProgram({QStringLiteral("--help")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QStringLiteral("--help")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("--version")));
    QVERIFY(run.out.contains(QStringLiteral("Dovra設定フォルダ")));
    QVERIFY(run.out.contains(QStringLiteral("dovra-updater-cli --help")));
}

void ProgramIdentityTest::unknownOptionIsRefusedByName() {
    const Run run = RunDialogProgram({QStringLiteral("--frobnicate")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("frobnicate")), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void ProgramIdentityTest::aboutBoxShowsTheProjectVersionAndTheLicence() {
    CAboutDlg about;
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("versionLabel"))->text(),
             QStringLiteral("DovraUpdater、バージョン " DOVRA_VERSION));
    const QString licence = about.findChild<QLabel*>(QStringLiteral("licenseLabel"))->text();
    QVERIFY(licence.contains(QStringLiteral("MITライセンス")));
    QVERIFY(licence.contains(QStringLiteral("LGPL")));
}

QTEST_MAIN(ProgramIdentityTest)
#include "program_identity_test.moc"
