#include "tests/gui/ModalDriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMenu>

#include "framework/DialogWindow.h"

ModalDriver::ModalDriver(std::chrono::milliseconds limit)
    : deadline_(std::chrono::steady_clock::now() + limit) {
    timer_.setInterval(1);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
}

ModalDriver::~ModalDriver() {
    timer_.stop();
    if (!steps_.empty() && !gaveUp_) {
        ADD_FAILURE() << "the driver still waits for: " << steps_.front().what;
    }
}

ModalDriver& ModalDriver::When(std::string what, std::function<bool()> ready,
                               std::function<void()> action) {
    steps_.push_back({std::move(what), std::move(ready), std::move(action)});
    return *this;
}

void ModalDriver::Poll() {
    if (gaveUp_) {
        CloseEverything();
        return;
    }
    if (std::chrono::steady_clock::now() > deadline_) {
        gaveUp_ = true;
        ADD_FAILURE() << "timed out waiting for: "
                      << (steps_.empty() ? std::string("an action to finish")
                                         : steps_.front().what);
        CloseEverything();
        return;
    }
    if (actionPending_ || steps_.empty() || !steps_.front().ready()) {
        return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    actionPending_ = true;
    // From the event loop, not from this timer: an action that opens a modal window must not
    // hold up the timer that drives the window.
    QMetaObject::invokeMethod(
        &timer_,
        [this, action = std::move(step.action)] {
            actionPending_ = false;
            action();
        },
        Qt::QueuedConnection);
}

void ModalDriver::CloseEverything() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        dialog->done(QDialog::Rejected);
        return;
    }
    timer_.stop();
}

QWidget* TopModal() {
    return QApplication::activeModalWidget();
}

int TopDialogId() {
    const auto* window = qobject_cast<const DialogWindow*>(TopModal());
    return window != nullptr ? window->dialogTemplate().id : 0;
}

QWidget* TopControl(int id) {
    const auto* window = qobject_cast<const DialogWindow*>(TopModal());
    return window != nullptr ? window->control(id) : nullptr;
}
