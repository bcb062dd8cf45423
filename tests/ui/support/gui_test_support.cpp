#include "support/gui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QWidget>

#include "engine/encoding.h"

namespace dovra::test {

std::string Sj(const QString& utf8) {
    auto converted = Utf8ToCp932(utf8.toStdString());
    if (!converted) {
        QTest::qFail(qPrintable(QStringLiteral("no code page 932 form: ") + utf8), __FILE__, __LINE__);
        return std::string();
    }
    return *converted;
}

QString Shown(const std::string& cp932) {
    return QString::fromStdString(Cp932ToUtf8Lossy(cp932));
}

Fixture::Fixture() {
    if (!m_dir.isValid()) {
        QTest::qFail("cannot create a temporary folder", __FILE__, __LINE__);
    }
}

QString Fixture::Path(const QString& relative) const {
    return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
}

QString Fixture::Write(const QString& relative, const QByteArray& bytes) const {
    const QString path = Path(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        QTest::qFail(qPrintable(QStringLiteral("cannot write ") + path), __FILE__, __LINE__);
    }
    return path;
}

QString Fixture::Folder(const QString& relative) const {
    const QString path = Path(relative);
    QDir().mkpath(path);
    return path;
}

QByteArray Fixture::Read(const QString& relative) const {
    QFile file(Path(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ModalScript::ModalScript() {
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalScript::Poll);
    m_timer.start();
}

ModalScript::~ModalScript() = default;

QStringList ModalScript::Texts() const {
    QStringList texts;
    for (const auto& box : seen) {
        texts.append(box.text);
    }
    return texts;
}

void ModalScript::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) {
        return;
    }
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
        otherWindows.append(QString::fromLatin1(modal->metaObject()->className()));
        if (onOtherWindow) {
            onOtherWindow(modal);
        } else {
            modal->close();
        }
        return;
    }
    seen.append({box->windowTitle(), box->text(), box->standardButtons(), box->icon(), box->textFormat()});
    if (onMessageBox) {
        onMessageBox(box);
    }
    const Answer answer = answers.empty() ? Answer::Ok : answers.front();
    if (!answers.empty()) {
        answers.pop_front();
    }
    switch (answer) {
    case Answer::Ok:
        box->button(QMessageBox::Ok)->click();
        break;
    case Answer::Cancel:
        if (auto* cancel = box->button(QMessageBox::Cancel)) {
            cancel->click();
        } else {
            QTest::keyClick(box, Qt::Key_Escape);
        }
        break;
    case Answer::Escape:
        QTest::keyClick(box, Qt::Key_Escape);
        break;
    }
}

} // namespace dovra::test
