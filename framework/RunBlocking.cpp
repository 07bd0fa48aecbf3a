#include "framework/RunBlocking.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "framework/PostedCall.h"
#include "framework/WaitCursor.h"

namespace {

// Both only ever touched on the user-interface thread.
int g_waitDepth = 0;
struct HeldCall {
    QPointer<QObject> context;
    std::function<void()> call;
};
std::vector<HeldCall> g_heldCalls;

// One piece of work at a time, whoever waits for it: a wait can only nest if something ran
// inside another wait, and even then the two never run side by side.
std::mutex g_workMutex;

bool OnUserInterfaceThread() {
    const QCoreApplication* application = QCoreApplication::instance();
    return qobject_cast<const QGuiApplication*>(application) != nullptr &&
           QThread::currentThread() == application->thread();
}

void RunSerialised(const std::function<void()>& work) {
    const std::lock_guard<std::mutex> lock(g_workMutex);
    work();
}

void QueueHeldCalls() {
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

void RunBlocking(const std::function<void()>& work) {
    if (!OnUserInterfaceThread()) {
        RunSerialised(work);
        return;
    }
    const CWaitCursor waitCursor;
    QEventLoop loop;
    std::atomic<bool> done = false;
    std::exception_ptr failure;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                RunSerialised(work);
            } catch (...) {
                failure = std::current_exception();
            }
            done = true;
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the work runs here, and the window waits as it would have
        // before there were workers.
        RunSerialised(work);
        return;
    }
    ++g_waitDepth;
    if (!done) {
        // Input stays queued in the window system's queue; expose events, the keep-alive and
        // posted paint requests are served. Timers would run handlers inside the wait.
        loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers);
    }
    // The loop also ends when the application quits; the work still finishes first.
    worker.join();
    if (--g_waitDepth == 0) {
        QueueHeldCalls();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}
