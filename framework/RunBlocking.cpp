#include "framework/RunBlocking.h"

#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "framework/PostedCall.h"
#include "framework/WaitCursor.h"

namespace {

// The wait's state and the held calls belong to the user-interface thread alone; every access
// checks that it is made there.
int g_waitDepth = 0;
struct HeldCall {
    QPointer<QObject> context;
    std::function<void()> call;
};
std::vector<HeldCall> g_heldCalls;
// Whether the work of a wait is running on its worker. Set on the user-interface thread, cleared
// by the worker.
std::atomic<bool> g_workRunning = false;

bool OnUserInterfaceThread() {
    const QCoreApplication* application = QCoreApplication::instance();
    return qobject_cast<const QGuiApplication*>(application) != nullptr &&
           QThread::currentThread() == application->thread();
}

// A held call or the wait's state touched from another thread would race with the wait: a
// programming error, stopped where it happens.
void AssertUserInterfaceThread(const char* what) {
    if (!OnUserInterfaceThread()) {
        qFatal("%s off the user-interface thread", what);
    }
}

constexpr QEventLoop::ProcessEventsFlags kWaitFlags =
    QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers;

// The exception that left the work, to be thrown again on the waiting thread; null when none did.
std::exception_ptr RunCatching(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

void QueueHeldCalls() {
    AssertUserInterfaceThread("held calls queued");
    std::vector<HeldCall> calls;
    calls.swap(g_heldCalls);
    for (HeldCall& held : calls) {
        if (held.context != nullptr) {
            PostCall(held.context, std::move(held.call));
        }
    }
}

}  // namespace

void PostCall(QObject* context, std::function<void()> call) {
    QPointer<QObject> guard(context);
    QMetaObject::invokeMethod(
        context,
        [guard, call = std::move(call)]() mutable {
            AssertUserInterfaceThread("a posted call held back for a wait");
            if (g_waitDepth > 0) {
                g_heldCalls.push_back({guard, std::move(call)});
                return;
            }
            call();
        },
        Qt::QueuedConnection);
}

bool BlockingWaitInProgress() {
    return g_waitDepth > 0;
}

namespace {

// Takes the window system's input while a wait that the user may end runs: every input event
// is held, to be delivered in order once the work has returned, and one that asks to close the
// window sets the cancellation flag.
class InputHolder final : public QObject {
public:
    InputHolder(const CloseRequestTest& isCloseRequest, std::atomic<bool>* cancel)
        : isCloseRequest_(isCloseRequest), cancel_(cancel) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~InputHolder() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputHolder(const InputHolder&) = delete;
    InputHolder& operator=(const InputHolder&) = delete;

    // Hands the held input back to the event loop, oldest first.
    void Release() {
        QCoreApplication::instance()->removeEventFilter(this);
        for (Held& held : held_) {
            if (held.receiver == nullptr) {
                continue;
            }
            QMetaObject::invokeMethod(
                held.receiver,
                [receiver = held.receiver, make = std::move(held.make)] {
                    if (receiver != nullptr) {
                        const std::unique_ptr<QEvent> event = make();
                        QCoreApplication::sendEvent(receiver, event.get());
                    }
                },
                Qt::QueuedConnection);
        }
        held_.clear();
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (!IsHeldInput(*event, receiver)) {
            return false;
        }
        if (isCloseRequest_ && isCloseRequest_(receiver, *event)) {
            *cancel_ = true;
        }
        if (event->type() == QEvent::Close) {
            // Not closed yet: that is up to the held request, once the work has returned.
            event->ignore();
        }
        held_.push_back({receiver, Remake(*event)});
        return true;
    }

private:
    using EventMaker = std::function<std::unique_ptr<QEvent>()>;
    struct Held {
        QPointer<QObject> receiver;
        EventMaker make;
    };

    // A mouse event shares its point with the pointing device's later events, so a copy kept
    // for later is made afresh, from its values, just before it is delivered.
    static EventMaker Remake(const QEvent& event) {
        if (const auto* mouse = dynamic_cast<const QMouseEvent*>(&event)) {
            return [type = mouse->type(), position = mouse->position(),
                    scene = mouse->scenePosition(), global = mouse->globalPosition(),
                    button = mouse->button(), buttons = mouse->buttons(),
                    modifiers = mouse->modifiers(), device = mouse->pointingDevice()] {
                return std::make_unique<QMouseEvent>(type, position, scene, global, button, buttons,
                                                     modifiers, device);
            };
        }
        return [copy = std::shared_ptr<QEvent>(event.clone())] {
            return std::unique_ptr<QEvent>(copy->clone());
        };
    }

    // Input as the window system hands it to a window, before any widget has seen it. Pointer
    // motion passes, so that hovering still draws.
    static bool IsHeldInput(const QEvent& event, const QObject* receiver) {
        if (event.type() == QEvent::Shortcut) {
            return true;
        }
        if (!event.spontaneous() || !receiver->isWindowType()) {
            return false;
        }
        switch (event.type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Close:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TouchCancel:
            case QEvent::TabletPress:
            case QEvent::TabletRelease:
                return true;
            default:
                return false;
        }
    }

    CloseRequestTest isCloseRequest_;
    std::atomic<bool>* cancel_;
    std::vector<Held> held_;
};

void RunWait(const std::function<void()>& work, QEventLoop::ProcessEventsFlags flags);

}  // namespace

void RunBlocking(const std::function<void()>& work) {
    if (!OnUserInterfaceThread()) {
        work();
        return;
    }
    RunWait(work, kWaitFlags);
}

void RunBlockingUnlessClosed(const std::function<void()>& work,
                             const CloseRequestTest& isCloseRequest, std::atomic<bool>* cancel) {
    if (!OnUserInterfaceThread()) {
        work();
        return;
    }
    InputHolder holder(isCloseRequest, cancel);
    RunWait(work, QEventLoop::X11ExcludeTimers);
    holder.Release();
}

namespace {

void RunWait(const std::function<void()>& work, QEventLoop::ProcessEventsFlags flags) {
    const CWaitCursor waitCursor;
    ++g_waitDepth;
    // A wait started inside another (by something served meanwhile) lets the other's work finish
    // before its own starts, so the work of two waits never runs side by side.
    while (g_workRunning) {
        QCoreApplication::processEvents(kWaitFlags | QEventLoop::WaitForMoreEvents);
    }
    QEventLoop loop;
    std::atomic<bool> done = false;
    std::exception_ptr failure;
    std::thread worker;
    g_workRunning = true;
    try {
        worker = std::thread([&] {
            failure = RunCatching(work);
            done = true;
            g_workRunning = false;
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the work runs here, and the window waits as it would have
        // before there were workers.
        failure = RunCatching(work);
        done = true;
        g_workRunning = false;
    }
    if (!done) {
        // Input stays queued in the window system's queue; expose events, the keep-alive and
        // posted paint requests are served. Timers would run handlers inside the wait.
        loop.exec(flags);
    }
    // The loop also ends when the application quits; the work still finishes first.
    if (worker.joinable()) {
        worker.join();
    }
    if (--g_waitDepth == 0) {
        QueueHeldCalls();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace
