#pragma once

#include <QObject>
#include <functional>

// Queues `call` for the event loop of the thread `context` lives in; it is dropped when
// `context` is destroyed first. Every command the framework posts goes through here: a call
// that comes due while RunBlocking waits is held back and queued again once the wait is over,
// in the order the held calls came due, so that no handler ever runs inside the wait.
void PostCall(QObject* context, std::function<void()> call);

// Whether RunBlocking is waiting on the user-interface thread right now.
bool BlockingWaitInProgress();
