#pragma once

#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <string>

class QWidget;

// Drives modal windows from their own event loops: each step waits until its condition holds,
// then acts. Actions run from the event loop, one after another, so an action may open a
// nested modal window that a later step drives. When the steps do not finish within the time
// limit, the test fails and every modal window and popup is closed, so that nothing hangs.
class ModalDriver {
public:
    explicit ModalDriver(std::chrono::milliseconds limit = std::chrono::seconds(15));
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    ModalDriver& When(std::string what, std::function<bool()> ready, std::function<void()> action);
    bool Finished() const { return steps_.empty() && !actionPending_; }

private:
    struct Step {
        std::string what;
        std::function<bool()> ready;
        std::function<void()> action;
    };

    void Poll();
    void CloseEverything();

    QTimer timer_;
    std::deque<Step> steps_;
    std::chrono::steady_clock::time_point deadline_;
    bool actionPending_ = false;
    bool gaveUp_ = false;
};

// The window on top of the modal stack, and the template identifier of that window when it
// is one of the framework's dialogs (0 otherwise).
QWidget* TopModal();
int TopDialogId();
// The control with this identifier in the dialog window on top, or null.
QWidget* TopControl(int id);
