#include "modaldriver.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <ctime>

ModalDriver::ModalDriver(std::function<void(QWidget*)> answer, int timeoutMs, const char* onlyClass)
    : timer(new QTimer) {
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [this, answer, started, timeoutMs, onlyClass]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || (onlyClass && !modal->inherits(onlyClass))) {
            if (started->elapsed() > timeoutMs) {
                timer->stop();
            }
            return;
        }
        timer->stop();
        seenTitle = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seenText = box->text();
        }
        handled = true;
        answer(modal);
    });
    timer->start(20);
}

ModalDriver::~ModalDriver() {
    timer->stop();
    delete timer;
}

std::function<void(QWidget*)> clickButton(const QString& buttonText) {
    return [buttonText](QWidget* modal) {
        QString wanted = buttonText;
        wanted.remove('&');
        for (QAbstractButton* button : modal->findChildren<QAbstractButton*>()) {
            QString text = button->text();
            text.remove('&');
            if (text == wanted) {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << buttonText.toStdString() << " in "
                      << modal->windowTitle().toStdString();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
    };
}

std::function<void(QWidget*)> chooseFile(const QString& path) {
    return [path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) {
            ADD_FAILURE() << "expected a file dialog, got " << modal->metaObject()->className();
            return;
        }
        // Type the answer where the user would, then confirm as the dialog's default button does.
        auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!nameEdit) {
            ADD_FAILURE() << "file dialog without a name field";
            dialog->reject();
            return;
        }
        nameEdit->setText(path);
        QMetaObject::invokeMethod(dialog, "accept");
    };
}

std::function<void(QWidget*)> cancelDialog() {
    return [](QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
    };
}

void runEventLoop(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void idleEventLoop(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

IdleSpell idleSpell(int milliseconds) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const std::clock_t before = std::clock();
    idleEventLoop(milliseconds);
    const double seconds = static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
    std::string printed = testing::internal::GetCapturedStdout();
    printed += testing::internal::GetCapturedStderr();
    return {seconds, printed};
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

void triggerMenuAction(QMainWindow& window, const QString& text) {
    for (QAction* menu : window.menuBar()->actions()) {
        for (QAction* action : menu->menu()->actions()) {
            if (action->text() == text) {
                action->trigger();
                return;
            }
        }
    }
    ADD_FAILURE() << "no menu action " << text.toStdString();
}

bool pressAndChoose(QAbstractButton* button, const QString& path) {
    ModalDriver dialog(chooseFile(path), 15000, "QFileDialog");
    QTest::mouseClick(button, Qt::LeftButton);
    return dialog.answered();
}

PressOutcome pressAndCancel(QAbstractButton* button) {
    ModalDriver dialog(cancelDialog(), 15000, "QFileDialog");
    ModalDriver box(clickButton("OK"), 15000, "QMessageBox");
    QTest::mouseClick(button, Qt::LeftButton);
    return {dialog.answered(), box.text(), box.title()};
}
