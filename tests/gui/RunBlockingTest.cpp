// How the user-interface thread waits for blocking work: nothing but painting and the desktop's
// keep-alive is served meanwhile, and the work of two waits never runs side by side.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/PostedCall.h"
#include "framework/RunBlocking.h"

namespace {

using namespace std::chrono_literals;

// Runs the event loop until `done` holds or two seconds have passed.
bool ServeEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// Holds the work until something the wait serves has fulfilled `served`, for at most five
// seconds; false when it never was.
bool AwaitServed(std::promise<void>& served) {
    return served.get_future().wait_for(5s) == std::future_status::ready;
}

TEST(RunBlocking, TimersAndPostedCommandsWaitUntilTheWorkHasReturned) {
    std::vector<std::string> events;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] { events.emplace_back("timer"); });
    QObject context;
    auto gone = std::make_unique<QObject>();
    timer.start(1);
    PostCall(&context, [&] { events.emplace_back("first"); });
    PostCall(gone.get(), [&] { events.emplace_back("dropped"); });
    PostCall(&context, [&] { events.emplace_back("second"); });
    // Served inside the wait, after the commands above: once the timer has come due, it posts a
    // command of its own, which must wait too.
    std::promise<void> servedMeanwhile;
    std::function<void()> postOnceTheTimerIsDue = [&] {
        if (timer.remainingTime() > 0) {
            QMetaObject::invokeMethod(qApp, postOnceTheTimerIsDue, Qt::QueuedConnection);
            return;
        }
        PostCall(&context, [&] { events.emplace_back("posted meanwhile"); });
        servedMeanwhile.set_value();
    };
    RunBlocking([&] {
        QMetaObject::invokeMethod(qApp, postOnceTheTimerIsDue, Qt::QueuedConnection);
        EXPECT_TRUE(AwaitServed(servedMeanwhile)) << "the wait served nothing";
    });
    events.emplace_back("returned");
    gone.reset();
    ASSERT_TRUE(ServeEventsUntil([&] { return events.size() >= 5; }));
    ASSERT_EQ(events.front(), "returned") << "something ran inside the wait";
    QApplication::processEvents();
    std::vector<std::string> commands;
    std::copy_if(events.begin() + 1, events.end(), std::back_inserter(commands),
                 [](const std::string& event) { return event != "timer"; });
    EXPECT_EQ(commands, (std::vector<std::string>{"first", "second", "posted meanwhile"}))
        << "held commands keep their order; one whose window is gone is dropped";
    EXPECT_EQ(std::count(events.begin(), events.end(), "timer"), 1);
}

TEST(RunBlocking, AWaitStartedInsideAnotherRunsItsWorkAfterTheOther) {
    std::vector<std::string> steps;  // appended to by one piece of work at a time
    std::atomic<bool> innerReturned = false;
    std::promise<void> innerWaiting;
    RunBlocking([&] {
        steps.emplace_back("outer starts");
        QMetaObject::invokeMethod(qApp, [&] {
            // Served only once the inner wait is under way, going round its own loop.
            QMetaObject::invokeMethod(
                qApp, [&] { innerWaiting.set_value(); }, Qt::QueuedConnection);
            RunBlocking([&] { steps.emplace_back("inner"); });
            innerReturned = true;
        });
        EXPECT_TRUE(AwaitServed(innerWaiting)) << "the inner wait never began";
        steps.emplace_back("outer ends");
    });
    EXPECT_TRUE(innerReturned);
    EXPECT_EQ(steps, (std::vector<std::string>{"outer starts", "outer ends", "inner"}));
}

TEST(RunBlocking, AnExceptionFromTheWorkReachesTheCaller) {
    EXPECT_THROW(RunBlocking([] { throw std::runtime_error("no memory"); }), std::runtime_error);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(BlockingWaitInProgress());
    // And the next wait works as before.
    bool ran = false;
    RunBlocking([&] { ran = true; });
    EXPECT_TRUE(ran);
}

// The held-call queue belongs to the user-interface thread: a posted call that comes due on
// another thread stops the program there rather than racing with a wait.
TEST(RunBlockingDeathTest, APostedCallDueOnAnotherThreadStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            QThread thread;
            QObject context;
            context.moveToThread(&thread);
            thread.start();
            PostCall(&context, [] {});
            // Comes due after the posted call, so the thread ends only if that call did not
            // stop the program.
            QMetaObject::invokeMethod(&context, [&thread] { thread.quit(); });
            thread.wait(QDeadlineTimer(5000));
        },
        "off the user-interface thread");
}

}  // namespace
