#pragma once

#include <deque>
#include <functional>
#include <string>

#include <QByteArray>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

class QWidget;

namespace dovra::test {

// Code page 932 bytes of a UTF-8 text (the form every engine text and path has). Fails the test when there is
// none.
std::string Sj(const QString& utf8);
// An engine text shown to the user, back in UTF-8.
QString Shown(const std::string& cp932);

// A fresh folder for one test's files, removed at the end. Paths are given and returned in UTF-8.
class Fixture {
public:
    Fixture();
    QString Path(const QString& relative) const;
    // Writes the bytes exactly, creating folders on the way; returns the full path.
    QString Write(const QString& relative, const QByteArray& bytes) const;
    QString Folder(const QString& relative) const;
    QByteArray Read(const QString& relative) const;

private:
    QTemporaryDir m_dir;
};

// One message box as the user saw it.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    Qt::TextFormat textFormat;
};

enum class Answer { Ok, Cancel, Escape };

// Answers every modal window that opens while it lives, as a user would: each message box is recorded and
// answered with the next scripted answer (OK once the script runs out); any other modal window (the About
// box) goes to `onOtherWindow`, which must close it.
class ModalScript : public QObject {
public:
    ModalScript();
    ~ModalScript() override;

    QStringList Texts() const;

    std::deque<Answer> answers;
    QList<SeenBox> seen;
    std::function<void(QWidget*)> onOtherWindow;
    // Called with each message box before it is answered, to look at the window as the user sees it then.
    std::function<void(QMessageBox*)> onMessageBox;
    QStringList otherWindows; // class names of the other modal windows, in order

private:
    void Poll();
    QTimer m_timer;
};

} // namespace dovra::test
