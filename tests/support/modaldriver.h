#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>
#include <functional>
#include <ostream>
#include <string>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// Answers the next modal dialog the way a user would: a timer watches for the active modal widget and
// hands it to `answer` once it is up. Call before the code that opens the dialog. When no dialog appears
// within the timeout, `answered` stays false and the test can say so. With `onlyClass` set, only a modal
// widget inheriting that class is answered, so that two drivers can wait for two dialogs in turn.
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget*)> answer, int timeoutMs = 15000,
                         const char* onlyClass = nullptr);
    ~ModalDriver();

    bool answered() const { return handled; }
    QString title() const { return seenTitle; }
    QString text() const { return seenText; }

private:
    bool handled = false;
    QString seenTitle;
    QString seenText;
    class QTimer* timer;
};

// Answers for the usual dialogs.
std::function<void(QWidget*)> clickButton(const QString& buttonText);  // message boxes: "&Yes", "OK", ...
std::function<void(QWidget*)> chooseFile(const QString& path);         // file and folder dialogs
std::function<void(QWidget*)> cancelDialog();

// Triggers the menu action with this text in a main window's menu bar, as a user choosing it would.
// Adds a test failure when there is none.
class QMainWindow;
void triggerMenuAction(QMainWindow& window, const QString& text);

// Processes events for the given time, letting timers and the view run.
void runEventLoop(int milliseconds);
// Lets the event loop sleep until events come, for `milliseconds`, as an idle program does (runEventLoop
// polls, and keeps a core busy).
void idleEventLoop(int milliseconds);

// What the program did during an idleEventLoop of `milliseconds`: processor seconds of the whole process
// (the software renderer's threads included) and all it wrote to standard output and standard error.
struct IdleSpell {
    double processorSeconds;
    std::string printed;
};
IdleSpell idleSpell(int milliseconds);

// Processes events until `done` holds or the time is up; returns `done()`.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 15000);

class QAbstractButton;

// Clicks `button` and answers the file dialog it opens with `path`; false when no file dialog came up.
bool pressAndChoose(QAbstractButton* button, const QString& path);

// What clicking a button led to when a file dialog it opens is cancelled and a message box it shows is
// confirmed with OK.
struct PressOutcome {
    bool fileDialogShown = false;
    QString warning;  // empty: no message box
    QString warningTitle;
};
PressOutcome pressAndCancel(QAbstractButton* button);

// The visible top-level widget of class T, such as the form a window's menu showed (those of earlier
// tests' windows stay hidden); null when there is none.
template <typename T>
T* visibleTopLevel() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(widget); found && found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}
