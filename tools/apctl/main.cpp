#include <unistd.h>

#include <atomic>
#include <csignal>
#include <ostream>
#include <string>
#include <vector>

#include "net/PosixSocketLayer.h"
#include "tools/apctl/ApctlRun.h"
#include "tools/apctl/CheckedOutput.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void RequestStop(int) {
    g_stop.store(true);
}

// For the commands that run until stopped: SIGINT and SIGTERM then end them cleanly, every
// socket closed. The others keep the default, so an interrupt ends them at once as before. A
// reader that goes away (watch piped into head) shows as a failed write, which ends them the
// same way, instead of a SIGPIPE.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    // A stop must not cut a write or a wait short: the summary still has to go out whole.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
    net::PosixSocketLayer layer;
    net::InstallSocketLayer(&layer);
    apctl::CheckedOutput standardOutput(STDOUT_FILENO);
    std::ostream out(&standardOutput);
    // Not std::cerr: stdio gives up on a write a signal interrupts, and the lines after a stop
    // (what was skipped, the counts) are the ones that matter then.
    apctl::CheckedOutput standardError(STDERR_FILENO);
    std::ostream err(&standardError);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    apctl::RunContext context;
    context.stop = &g_stop;
    context.catchStopSignals = CatchStopSignals;
    int status = apctl::Run(arguments, out, err, context);
    net::InstallSocketLayer(nullptr);
    if (!standardOutput.Flush()) {
        const std::string message = apctl::WriteErrorMessage(standardOutput.error());
        if (!message.empty()) {
            err << "apctl: " << message << "\n";
        }
        status = apctl::kExitFailed;
    }
    standardError.Flush();
    return status;
}
