#include "tools/apctl/WatchHook.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sstream>
#include <syncstream>

extern char** environ;

namespace apctl {

namespace {

using net::Milliseconds;

// How long one look at a running hook waits for it in real time, and how far it then moves the
// layer's clock: on the kernel's clock the two add up to the time that passed; on a virtual
// clock a hook is still given real time to run in.
constexpr Milliseconds kLookReal{1};
constexpr Milliseconds kLookClock{10};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string SecondsText(std::chrono::milliseconds duration) {
    std::ostringstream text;
    text << static_cast<double>(duration.count()) / 1000.0;
    return text.str();
}

// Waits for `events` on `fd` for a moment; true when they came. Otherwise the layer's clock moves
// on towards `deadline`.
bool Look(net::SocketLayer& layer, int fd, short events, Milliseconds deadline) {
    pollfd watched{fd, events, 0};
    if (::poll(&watched, fd >= 0 ? 1 : 0, static_cast<int>(kLookReal.count())) > 0) {
        return true;
    }
    layer.Sleep(std::clamp(deadline - layer.Now(), Milliseconds{0}, kLookClock));
    return false;
}

// The hook's wait status, or nothing when the deadline came first (it is then still running).
std::optional<int> WaitForExit(net::SocketLayer& layer, pid_t pid, int pidfd,
                               Milliseconds deadline) {
    for (;;) {
        int status = 0;
        const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
        if (reaped == pid) {
            return status;
        }
        if (reaped < 0 && errno != EINTR) {
            return 0;  // reaped by somebody else: nothing to tell
        }
        if (layer.Now() >= deadline) {
            return std::nullopt;
        }
        Look(layer, pidfd, POLLIN, deadline);  // without pidfd_open: a look every slice
    }
}

// Writes all of `data` to the non-blocking `fd` unless the deadline comes first (false). A
// reader that has ended, or never reads, is the hook's own business.
bool WriteInput(net::SocketLayer& layer, int fd, const std::string& data, Milliseconds deadline) {
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            if (layer.Now() >= deadline) {
                return false;
            }
            Look(layer, fd, POLLOUT, deadline);
            continue;
        }
        break;  // EPIPE: it stopped reading
    }
    return true;
}

// A write to a hook that has closed its input raised SIGPIPE, blocked on this thread: taken
// here, so it never reaches the process.
void DiscardBrokenPipe() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    const timespec none{0, 0};
    while (::sigtimedwait(&pipe, nullptr, &none) == SIGPIPE) {
    }
}

std::vector<std::string> Environment(const HookEvent& event) {
    const std::pair<const char*, const std::string*> ours[] = {{"APCTL_CHANGE", &event.change},
                                                               {"APCTL_MAC", &event.macText},
                                                               {"APCTL_ADDRESS", &event.address}};
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const bool replaced = std::any_of(std::begin(ours), std::end(ours), [&](const auto& our) {
            return text.rfind(std::string(our.first) + "=", 0) == 0;
        });
        if (!replaced) {
            entries.push_back(text);
        }
    }
    for (const auto& [name, value] : ours) {
        entries.push_back(std::string(name) + "=" + *value);
    }
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// The hook starts as apctl was started, not as apctl's watch runs: signals apctl ignores or
// catches back at their defaults, nothing blocked, and in a process group of its own, so that a
// time-out kills whatever it started too. Its standard output goes to apctl's standard error:
// apctl's own output stays the change lines alone. Nothing else of apctl's is open in it.
class SpawnSetup {
public:
    explicit SpawnSetup(int input) {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_adddup2(&actions_, input, STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions_, STDERR_FILENO, STDOUT_FILENO);
        posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
        posix_spawnattr_init(&attributes_);
        posix_spawnattr_setflags(
            &attributes_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        posix_spawnattr_setpgroup(&attributes_, 0);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes_, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            sigaddset(&defaults, signal);
        }
        posix_spawnattr_setsigdefault(&attributes_, &defaults);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

}  // namespace

bool SplitHookCommand(const std::string& text, std::vector<std::string>* words,
                      std::string* error) {
    words->clear();
    std::string word;
    bool inWord = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (IsBlank(c)) {
            if (inWord) {
                words->push_back(word);
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c != '\'' && c != '"') {
            word += c;
            continue;
        }
        const std::size_t close = text.find(c, at + 1);
        if (close == std::string::npos) {
            *error = std::string("--exec: the ") + (c == '"' ? "\"" : "'") + " at character " +
                     std::to_string(at + 1) + " is not closed";
            return false;
        }
        word.append(text, at + 1, close - at - 1);
        at = close;
    }
    if (inWord) {
        words->push_back(word);
    }
    if (words->empty()) {
        *error = "--exec needs a program to run";
        return false;
    }
    return true;
}

HookRunner::HookRunner(Settings settings, net::SocketLayer& layer, std::ostream& err)
    : settings_(std::move(settings)), layer_(layer), err_(err) {}

HookRunner::~HookRunner() {
    Finish();
}

void HookRunner::Post(HookEvent event) {
    std::unique_ptr<net::Worker> ended;
    {
        const std::lock_guard lock(mutex_);
        if (finishing_) {
            return;
        }
        if (queue_.size() >= settings_.queueLimit) {
            ++dropped_;
            return;
        }
        queue_.push_back(std::move(event));
        if (working_) {
            return;
        }
        working_ = true;
        ended = std::move(worker_);
    }
    if (ended) {
        ended->Join();
    }
    worker_ = layer_.StartWorker([this] { Work(); });
    if (!worker_) {
        const int error = errno;
        const std::lock_guard lock(mutex_);
        Say(std::to_string(queue_.size()) + (queue_.size() == 1 ? " change" : " changes") +
            " not passed to the hook: no thread to run it on: " + std::strerror(error));
        queue_.clear();
        working_ = false;
    }
}

void HookRunner::Finish() {
    {
        const std::lock_guard lock(mutex_);
        if (finishing_) {
            return;
        }
        finishing_ = true;
        SayDropped();
        if (!queue_.empty()) {
            Say(std::to_string(queue_.size()) + (queue_.size() == 1 ? " change" : " changes") +
                " not passed to the hook: stopping");
            queue_.clear();
        }
    }
    if (worker_) {
        worker_->Join();
    }
}

void HookRunner::Work() {
    // Stops are the main thread's to take; a broken pipe to a hook is taken here.
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaddset(&blocked, signal);
    }
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
    std::unique_lock lock(mutex_);
    while (!queue_.empty()) {
        SayDropped();
        const HookEvent event = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        Run(event);
        lock.lock();
    }
    working_ = false;
}

void HookRunner::Run(const HookEvent& event) {
    const Milliseconds deadline = layer_.Now() + settings_.bound;
    const std::string what =
        "hook " + settings_.command.front() + " (" + event.change + " " + event.macText + ")";
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0) {
        Say(what + ": no pipe for its input: " + std::strerror(errno));
        return;
    }
    std::vector<std::string> arguments = settings_.command;
    std::vector<std::string> environment = Environment(event);
    const std::vector<char*> argv = Pointers(arguments);
    const std::vector<char*> envp = Pointers(environment);
    pid_t pid = 0;
    int started = 0;
    {
        const SpawnSetup setup(input[0]);
        started = ::posix_spawnp(&pid, argv[0], setup.actions(), setup.attributes(), argv.data(),
                                 envp.data());
    }
    ::close(input[0]);
    if (started != 0) {
        ::close(input[1]);
        Say(what + ": cannot run " + settings_.command.front() + ": " + std::strerror(started));
        return;
    }
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    ::fcntl(input[1], F_SETFL, ::fcntl(input[1], F_GETFL) | O_NONBLOCK);
    const std::string line = event.json + "\n";
    bool inTime = WriteInput(layer_, input[1], line, deadline);
    DiscardBrokenPipe();
    ::close(input[1]);
    std::optional<int> status;
    if (inTime) {
        status = WaitForExit(layer_, pid, pidfd, deadline);
        inTime = status.has_value();
    }
    if (!inTime) {
        ::kill(-pid, SIGKILL);
        int ignored = 0;
        while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
        }
    }
    if (pidfd >= 0) {
        ::close(pidfd);
    }
    if (!inTime) {
        Say(what + ": still running after " + SecondsText(settings_.bound) + " s: killed");
    } else if (WIFEXITED(*status) && WEXITSTATUS(*status) != 0) {
        Say(what + ": exited with status " + std::to_string(WEXITSTATUS(*status)));
    } else if (WIFSIGNALED(*status)) {
        const char* name = ::sigabbrev_np(WTERMSIG(*status));
        Say(what + ": ended by signal " + std::to_string(WTERMSIG(*status)) +
            (name != nullptr ? std::string(" (SIG") + name + ")" : std::string()));
    }
}

void HookRunner::Say(const std::string& text) {
    std::osyncstream line(err_);
    line << (settings_.timestamp ? settings_.timestamp() + " " : std::string()) << "apctl: " << text
         << "\n"
         << std::flush;
}

void HookRunner::SayDropped() {
    if (dropped_ == 0) {
        return;
    }
    Say(std::to_string(dropped_) + (dropped_ == 1 ? " change" : " changes") +
        " not passed to the hook: its queue (" + std::to_string(settings_.queueLimit) +
        ") was full");
    dropped_ = 0;
}

}  // namespace apctl
