// Starting the resend worker when memory or threads run out: every step of StartWorker that can
// fail is made to fail in turn, and each must come back as "no worker" (the exchange then goes on
// with the single send), never as an aborted process.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "net/PosixSocketLayer.h"

namespace {

// Armed on the calling thread only, so that the test framework's own allocations and the
// worker's thread are never counted.
thread_local int t_allocationsToFailAt = 0;  // 0: no failure
thread_local int t_allocationsCounted = 0;
std::atomic<bool> g_refuseThreads{false};

void* Allocate(std::size_t size) {
    if (t_allocationsToFailAt > 0 && ++t_allocationsCounted == t_allocationsToFailAt) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

// std::thread starts through pthread_create; refusing it the way the system does when it is out
// of threads (EAGAIN) makes std::thread throw std::system_error.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) {
    if (g_refuseThreads.load()) {
        return EAGAIN;
    }
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    return real(thread, attributes, start, argument);
}

namespace {

struct Attempt {
    bool started = false;
    bool ran = false;
    int allocations = 0;
};

Attempt StartWithAllocationFailingAt(int nth) {
    net::PosixSocketLayer layer;
    std::atomic<bool> ran{false};
    std::function<void()> body = [&ran] { ran = true; };
    t_allocationsCounted = 0;
    t_allocationsToFailAt = nth;
    std::unique_ptr<net::Worker> worker = layer.StartWorker(std::move(body));
    t_allocationsToFailAt = 0;
    Attempt attempt;
    attempt.started = worker != nullptr;
    attempt.allocations = t_allocationsCounted;
    if (worker) {
        worker->Join();
    }
    attempt.ran = ran;
    return attempt;
}

TEST(WorkerStart, EachFailingAllocationMeansNoWorker) {
    int failedSteps = 0;
    for (int nth = 1; nth < 50; ++nth) {
        const Attempt attempt = StartWithAllocationFailingAt(nth);
        if (attempt.allocations < nth) {
            // Fewer allocations than the one set to fail: this run went through untouched.
            EXPECT_TRUE(attempt.started);
            EXPECT_TRUE(attempt.ran);
            break;
        }
        ++failedSteps;
        EXPECT_FALSE(attempt.started) << "allocation " << nth << " failed";
        EXPECT_FALSE(attempt.ran) << "allocation " << nth << " failed";
    }
    // The worker object and the thread's own state at least.
    EXPECT_GE(failedSteps, 2);
}

TEST(WorkerStart, ARefusedThreadMeansNoWorker) {
    net::PosixSocketLayer layer;
    std::atomic<bool> ran{false};
    g_refuseThreads = true;
    std::unique_ptr<net::Worker> worker = layer.StartWorker([&ran] { ran = true; });
    g_refuseThreads = false;
    EXPECT_EQ(worker, nullptr);
    EXPECT_FALSE(ran);
}

TEST(WorkerStart, AStartedWorkerRunsItsBodyAndJoinsTwice) {
    net::PosixSocketLayer layer;
    std::atomic<int> runs{0};
    std::unique_ptr<net::Worker> worker = layer.StartWorker([&runs] { ++runs; });
    ASSERT_NE(worker, nullptr);
    worker->Join();
    worker->Join();
    EXPECT_EQ(runs, 1);
}

}  // namespace
