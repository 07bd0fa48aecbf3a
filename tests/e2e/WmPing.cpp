// Plays the window manager's keep-alive: sends _NET_WM_PING to a window every 250 ms for a
// number of seconds and reports the answers. A desktop takes a window that leaves its pings
// unanswered for about 5 s as hung and offers to kill it; a live window answers in a few
// milliseconds, so a second is patience enough on a busy machine.
//   wm_ping WINDOW_ID SECONDS        exit 0 when every ping was answered within a second
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::milliseconds(1000);
constexpr auto kInterval = std::chrono::milliseconds(250);

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wm_ping WINDOW_ID SECONDS\n");
        return 2;
    }
    const Window target = std::strtoul(argv[1], nullptr, 0);
    const auto duration = std::chrono::duration<double>(std::strtod(argv[2], nullptr));
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "wm_ping: no display\n");
        return 2;
    }
    // The answer goes to the root window, as to the window manager.
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, StructureNotifyMask | SubstructureNotifyMask);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);

    const Clock::time_point start = Clock::now();
    long sent = 0;
    long answered = 0;
    double slowest = 0;
    while (Clock::now() - start < duration) {
        XEvent request{};
        request.xclient.type = ClientMessage;
        request.xclient.window = target;
        request.xclient.message_type = protocols;
        request.xclient.format = 32;
        request.xclient.data.l[0] = static_cast<long>(ping);
        request.xclient.data.l[1] = ++sent;  // in the timestamp's place, to match the answer
        request.xclient.data.l[2] = static_cast<long>(target);
        XSendEvent(display, target, False, NoEventMask, &request);
        XFlush(display);
        const Clock::time_point asked = Clock::now();
        bool got = false;
        while (!got && Clock::now() - asked < kPatience) {
            while (XPending(display) > 0) {
                XEvent answer;
                XNextEvent(display, &answer);
                got = got ||
                      (answer.type == ClientMessage && answer.xclient.message_type == protocols &&
                       static_cast<Atom>(answer.xclient.data.l[0]) == ping &&
                       answer.xclient.data.l[1] == sent);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const double took = MillisecondsSince(asked);
        std::printf("%6.0f ms: ping %ld %s\n", MillisecondsSince(start), sent,
                    got ? "answered" : "NOT ANSWERED");
        if (got) {
            ++answered;
            slowest = took > slowest ? took : slowest;
            std::this_thread::sleep_until(asked + kInterval);
        }
    }
    std::printf("%ld of %ld pings answered within a second, the slowest in %.0f ms\n", answered,
                sent, slowest);
    XCloseDisplay(display);
    return answered == sent ? 0 : 1;
}
