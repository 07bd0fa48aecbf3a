#include <unistd.h>

#include <atomic>
#include <csignal>
#include <exception>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "net/PosixSocketLayer.h"
#include "tools/apctl/ApctlOptions.h"
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

// The status of a command that could not finish its work: 1, the operation failed; but diff's 1
// says that the files differ, so its trouble is 2, as diff(1) has it.
int TroubleStatus(const std::vector<std::string>& arguments) {
    const apctl::CommandSpec* command =
        arguments.empty() ? nullptr : apctl::CommandNamed(arguments.front());
    return command != nullptr && command->action == apctl::Action::kDiff ? apctl::kExitUsage
                                                                         : apctl::kExitFailed;
}

// Every command returns its failures as a status; an exception here is a fault of apctl's. It is
// reported and ends in the command's failure status rather than in abort(). Tests call Run and
// see the exception itself.
int RunReportingFaults(const std::vector<std::string>& arguments, std::ostream& out,
                       std::ostream& err, const apctl::RunContext& context) {
    try {
        return apctl::Run(arguments, out, err, context);
    } catch (const std::bad_alloc&) {
        err << "apctl: out of memory\n";
    } catch (const std::exception& e) {
        err << "apctl: internal error: " << e.what() << "\n";
    } catch (...) {
        err << "apctl: internal error\n";
    }
    return TroubleStatus(arguments);
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
    int status = RunReportingFaults(arguments, out, err, context);
    net::InstallSocketLayer(nullptr);
    if (!standardOutput.Flush()) {
        const std::string message = apctl::WriteErrorMessage(standardOutput.error());
        if (!message.empty()) {
            err << "apctl: " << message << "\n";
        }
        status = TroubleStatus(arguments);
    }
    standardError.Flush();
    return status;
}
