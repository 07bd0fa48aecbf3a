#include "bench/support/LabBench.h"

#include <poll.h>
#include <sys/ptrace.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tools/apsim/EventLog.h"

namespace bench {

namespace {

[[noreturn]] void Execute(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

}  // namespace

int RunProgram(const std::vector<std::string>& arguments, std::string* output) {
    int pipeEnds[2] = {-1, -1};
    if (output != nullptr && pipe(pipeEnds) != 0) {
        return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        if (output != nullptr) {
            dup2(pipeEnds[1], STDOUT_FILENO);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
        }
        Execute(arguments);
    }
    if (output != nullptr) {
        close(pipeEnds[1]);
        char buffer[4096];
        ssize_t got;
        while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0 ||
               (got < 0 && errno == EINTR)) {
            if (got > 0) {
                output->append(buffer, static_cast<std::size_t>(got));
            }
        }
        close(pipeEnds[0]);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

// The child's peak resident memory, read while it is stopped at its exit; `otherwise` when it
// cannot be read.
long PeakKilobytes(pid_t child, long otherwise) {
    std::ifstream proc("/proc/" + std::to_string(child) + "/status");
    std::string line;
    long peak = otherwise;
    while (std::getline(proc, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            peak = std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return peak;
}

// One read of what is there; the bytes go to `collected`.
void AppendRead(int descriptor, char* buffer, std::size_t capacity, std::string* collected) {
    const ssize_t got = read(descriptor, buffer, capacity);
    if (got > 0) {
        collected->append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace

// The child is traced only to be stopped as it exits, while its memory is still there to be
// read; getrusage would also count the launchers' images, and the launchers' own exit would
// count in the time.
bool Measure(const std::vector<std::string>& arguments, Measured* measured) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return false;
    }
    measured->startMono = apsim::MonotonicSeconds();
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return false;
    }
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        raise(SIGSTOP);
        Execute(arguments);
    }
    close(pipeEnds[1]);
    int status = 0;
    waitpid(child, &status, 0);  // the stop before exec
    ptrace(PTRACE_SETOPTIONS, child, nullptr,
           reinterpret_cast<void*>(PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC));
    ptrace(PTRACE_CONT, child, nullptr, nullptr);
    // Reading the output as it comes keeps the child from blocking on a full pipe.
    std::string collected;
    char buffer[65536];
    for (;;) {
        pollfd entry{pipeEnds[0], POLLIN, 0};
        if (poll(&entry, 1, 5) > 0) {
            AppendRead(pipeEnds[0], buffer, sizeof buffer, &collected);
        }
        const pid_t changed = waitpid(child, &status, WNOHANG | __WALL);
        if (changed == 0 || (changed < 0 && errno == EINTR)) {
            continue;
        }
        if (changed < 0 || WIFEXITED(status) || WIFSIGNALED(status)) {
            break;
        }
        int forward = 0;
        if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            measured->exitMono = apsim::MonotonicSeconds();
            measured->peakKilobytes = PeakKilobytes(child, measured->peakKilobytes);
        } else if (WIFSTOPPED(status) && WSTOPSIG(status) != SIGTRAP) {
            forward = WSTOPSIG(status);
        }
        ptrace(PTRACE_CONT, child, nullptr, reinterpret_cast<void*>(static_cast<long>(forward)));
    }
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        collected.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    measured->exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    measured->output = std::move(collected);
    return true;
}

std::vector<LogEvent> ReadLog(const std::string& path, double start, double end) {
    std::vector<LogEvent> events;
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return events;
    }
    while (!file.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
        const double mono = line.value("mono").toDouble();
        const QString event = line.value("event").toString();
        if (mono < start || mono > end || (event != "request" && event != "reply")) {
            continue;
        }
        events.push_back(
            {mono, event == "reply", line.value("kind").toString() == QStringLiteral("discovery")});
    }
    return events;
}

namespace {
void IgnoreInterrupt(int) {}
}  // namespace

bool ReadyForTheLab(const char* program) {
    if (geteuid() != 0) {
        std::fprintf(stderr, "%s: needs root to build its network-namespace lab\n", program);
        return false;
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = IgnoreInterrupt;
        sigaction(signal, &action, nullptr);
    }
    return true;
}

std::string MachineText() {
    utsname name{};
    uname(&name);
    std::string cpu = "unknown processor";
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    }
    return std::string(name.sysname) + " " + name.release + " " + name.machine + ", " + cpu + ", " +
           std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores";
}

}  // namespace bench
