#include <QAbstractButton>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTest>

#include "ui/dovra_updater_app.h"

class DovraUpdaterAppTest : public QObject {
    Q_OBJECT

private slots:
    void boxesSpeakJapaneseWhereQtsTranslationIsInstalled();
};

void DovraUpdaterAppTest::boxesSpeakJapaneseWhereQtsTranslationIsInstalled() {
    CDovraUpdaterApp::ApplyLook(*qApp);
    QCOMPARE(QApplication::applicationName(), QStringLiteral("DovraUpdater"));
    QCOMPARE(QApplication::font().pointSize(), 9);
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm"))) {
        QSKIP("Qt's Japanese translation is not installed");
    }
    QMessageBox box(QMessageBox::NoIcon, QString(), QStringLiteral("質問"), QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
}

QTEST_MAIN(DovraUpdaterAppTest)
#include "dovra_updater_app_test.moc"
