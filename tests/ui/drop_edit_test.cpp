#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "support/gui_test_support.h"
#include "ui/drop_edit.h"

namespace {

// What the file manager does: the drag enters the field, then the items are dropped. Returns whether the
// field took the drag.
bool DragAndDrop(CDropEdit& field, const QMimeData& mime) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&field, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&field, &drop);
    return drop.isAccepted();
}

QMimeData* Items(const QList<QUrl>& urls) {
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

} // namespace

class DropEditTest : public QObject {
    Q_OBJECT

private slots:
    void firstItemReplacesTheText();
    void foldersAndFilesAreTakenAlike();
    void anItemWithoutALocalPathChangesNothing();
};

void DropEditTest::firstItemReplacesTheText() {
    dovra::test::Fixture files;
    const QString first = files.Write(QStringLiteral("ゲーム 1/旧 版.bin"), QByteArray("x"));
    const QString second = files.Write(QStringLiteral("b.bin"), QByteArray("y"));
    CDropEdit field;
    field.setText(QStringLiteral("前の値"));
    std::unique_ptr<QMimeData> mime(
        Items({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second), QUrl::fromLocalFile(second)}));
    QVERIFY(DragAndDrop(field, *mime));
    // The whole path, spaces and Japanese included, however long, and nothing of the old text.
    QCOMPARE(field.text(), first);

    const QString deep =
        files.Folder(QString(200, QLatin1Char('d')) + QStringLiteral("/") + QString(60, QChar(0x8868)));
    mime.reset(Items({QUrl::fromLocalFile(deep)}));
    QVERIFY(DragAndDrop(field, *mime));
    QCOMPARE(field.text(), deep);
}

void DropEditTest::foldersAndFilesAreTakenAlike() {
    dovra::test::Fixture files;
    const QString folder = files.Folder(QStringLiteral("設定"));
    CDropEdit field;
    std::unique_ptr<QMimeData> mime(Items({QUrl::fromLocalFile(folder)}));
    QVERIFY(DragAndDrop(field, *mime));
    QCOMPARE(field.text(), folder);
    // Nor is existence checked: a command finds out when it loads the path.
    mime.reset(Items({QUrl::fromLocalFile(QStringLiteral("/存在しない/file"))}));
    QVERIFY(DragAndDrop(field, *mime));
    QCOMPARE(field.text(), QStringLiteral("/存在しない/file"));
}

void DropEditTest::anItemWithoutALocalPathChangesNothing() {
    CDropEdit field;
    field.setText(QStringLiteral("前の値"));
    std::unique_ptr<QMimeData> mime(
        Items({QUrl(QStringLiteral("https://example.invalid/rom.bin")), QUrl::fromLocalFile("/local/after")}));
    QVERIFY(!DragAndDrop(field, *mime));
    // Even a drop that arrives without the drag being taken leaves the text alone.
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&field, &drop);
    QCOMPARE(field.text(), QStringLiteral("前の値"));
}

QTEST_MAIN(DropEditTest)
#include "drop_edit_test.moc"
