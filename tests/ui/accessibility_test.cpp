#include <QAccessible>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include "support/gui_test_support.h"
#include "ui/dovra_updater_dlg.h"

namespace {

struct Spoken {
    QString name;
    QString description;
};

// What a screen reader is told about the control, through Qt's accessibility interface.
Spoken Speak(QWidget* widget) {
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(widget);
    if (access == nullptr) {
        return {};
    }
    return {access->text(QAccessible::Name), access->text(QAccessible::Description)};
}

QWidget* Control(const QWidget& dialog, const char* name) {
    auto* widget = dialog.findChild<QWidget*>(QLatin1String(name));
    if (widget == nullptr) {
        qFatal("no control %s", name);
    }
    return widget;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void everyControlSaysWhatItIsFor();
    void pickButtonsNameTheirFieldNotJustOpen();
    void fieldsAreLabelledByTheirGroupBoxes();
};

void AccessibilityTest::everyControlSaysWhatItIsFor() {
    CDovraUpdaterDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSet<QString> names;
    int controls = 0;
    // Every field and button of the window, whatever their number: a control added later needs its own.
    QList<QWidget*> widgets;
    for (QLineEdit* field : dialog.findChildren<QLineEdit*>()) {
        widgets.append(field);
    }
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        widgets.append(button);
    }
    widgets.append(dialog.findChild<QPlainTextEdit*>(QStringLiteral("logEdit")));
    for (QWidget* widget : widgets) {
        const Spoken spoken = Speak(widget);
        QVERIFY2(!spoken.name.isEmpty(), qPrintable(widget->objectName()));
        QVERIFY2(!spoken.description.isEmpty(), qPrintable(widget->objectName()));
        QVERIFY2(spoken.description != spoken.name, qPrintable(widget->objectName()));
        names.insert(spoken.name);
        ++controls;
    }
    QVERIFY(controls >= 12);
    // No two controls sound alike.
    QCOMPARE(names.size(), controls);
}

void AccessibilityTest::pickButtonsNameTheirFieldNotJustOpen() {
    CDovraUpdaterDlg dialog;
    QStringList names;
    for (const char* button : {"pickOldFolderButton", "pickNewFolderButton", "pickOldBinaryButton",
                               "pickBaseBinaryButton", "pickNewBinaryButton"}) {
        QCOMPARE(qobject_cast<QPushButton*>(Control(dialog, button))->text(), QStringLiteral("開く"));
        names.append(Speak(Control(dialog, button)).name);
    }
    QCOMPARE(names, (QStringList{
                        QStringLiteral("旧Dovra設定フォルダを選ぶ"), QStringLiteral("新Dovra設定フォルダを選ぶ"),
                        QStringLiteral("旧バイナリファイルを選ぶ"), QStringLiteral("無改造の旧バイナリファイルを選ぶ"),
                        QStringLiteral("新バイナリファイルを選ぶ")}));
    QCOMPARE(Speak(Control(dialog, "oldFolderEdit")).name, QStringLiteral("旧Dovra設定フォルダ"));
    QCOMPARE(Speak(Control(dialog, "newBinaryEdit")).name, QStringLiteral("新バイナリファイル"));
    QCOMPARE(Speak(Control(dialog, "rewriteButton")).name, QStringLiteral("書き換え"));
    QVERIFY(Speak(Control(dialog, "logEdit")).description.contains(QStringLiteral("保存")));
}

// The window's labels are the group boxes' captions: a screen reader announces each field with the caption
// of the box it sits in.
void AccessibilityTest::fieldsAreLabelledByTheirGroupBoxes() {
    CDovraUpdaterDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QList<std::pair<const char*, const char*>> pairs = {
        {"oldFolderEdit", "oldFolderGroup"},   {"newFolderEdit", "newFolderGroup"}, {"oldBinaryEdit", "oldBinaryGroup"},
        {"baseBinaryEdit", "baseBinaryGroup"}, {"newBinaryEdit", "newBinaryGroup"}, {"logEdit", "logGroup"}};
    for (const auto& [field, group] : pairs) {
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(Control(dialog, field));
        QVERIFY(access != nullptr);
        const auto labels = access->relations(QAccessible::Label);
        QVERIFY2(!labels.isEmpty(), field);
        QCOMPARE(labels.first().first->object(), Control(dialog, group));
    }
}

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
