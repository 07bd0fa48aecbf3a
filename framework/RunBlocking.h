#pragma once

#include <atomic>
#include <functional>

class QEvent;
class QObject;

// Runs a long blocking operation (a discovery, a configuration exchange) for the user
// interface and returns when it has finished. Every such call goes through here, so that how
// the interface waits for it is decided in one place.
//
// Called on the user-interface thread, the work runs on a worker thread while this thread
// waits in an event loop that serves painting and the window system's keep-alive only: the
// window repaints and never looks hung, yet the user's input stays queued and is handled once
// the work has returned, as on a blocked thread. Timers do not fire meanwhile, and commands
// posted through the framework that come due meanwhile wait until the work has returned, so
// no handler runs inside the wait. The wait cursor shows throughout. A wait started inside
// another starts its work once the other's has returned. Called on any other thread, or
// without a running user interface, the work runs in place. Whatever the work shares with
// other threads it locks itself (discovery guards its own tables).
// An exception leaving the work is thrown again here, on the calling thread.
void RunBlocking(const std::function<void()>& work);

// Whether an input event, as the window system delivers it, asks to close a window.
using CloseRequestTest = std::function<bool(const QObject* receiver, const QEvent& event)>;

// RunBlocking for work whose result is worth nothing once its window closes (a discovery):
// input made during the wait is held and handled once the work has returned, as above, but a
// request to close the window among it (`isCloseRequest`) sets `cancel` at once, so that the
// work can end early; the held close request then closes the window. Timers and posted
// commands wait as above.
void RunBlockingUnlessClosed(const std::function<void()>& work,
                             const CloseRequestTest& isCloseRequest, std::atomic<bool>* cancel);
