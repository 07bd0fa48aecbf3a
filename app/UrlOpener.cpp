#include "app/UrlOpener.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "resources/StringTable.h"

extern char** environ;

namespace {

std::atomic<UrlOpener*> g_opener{nullptr};

OpenUrlOutcome OutcomeOfSpawnError(int error) {
    switch (error) {
        case ENOENT:
            return OpenUrlOutcome::kNoAssociation;
        case EACCES:
        case EPERM:
            return OpenUrlOutcome::kAccessDenied;
        case ENOMEM:
        case EAGAIN:
            return OpenUrlOutcome::kOutOfMemory;
        default:
            return OpenUrlOutcome::kUnknownFailure;
    }
}

// xdg-open's documented exit statuses.
OpenUrlOutcome OutcomeOfExitStatus(int status) {
    switch (status) {
        case 0:
            return OpenUrlOutcome::kOpened;
        case 1:
            return OpenUrlOutcome::kPathInvalid;  // error in the command line
        case 2:
            return OpenUrlOutcome::kFileNotFound;
        case 3:
            return OpenUrlOutcome::kNoAssociation;  // no tool to open it
        case 4:
            return OpenUrlOutcome::kAssociationIncomplete;  // the tool failed
        default:
            return OpenUrlOutcome::kUnknownFailure;
    }
}

}  // namespace

OpenUrlOutcome XdgOpenUrlOpener::Open(const std::string& url) {
    return Run("xdg-open", url);
}

OpenUrlOutcome XdgOpenUrlOpener::OpenManual(const std::string& page) {
    const std::string url = "man:" + page;
    const OpenUrlOutcome outcome = Run("yelp", url);
    return outcome == OpenUrlOutcome::kOpened ? outcome : Run("xdg-open", url);
}

OpenUrlOutcome XdgOpenUrlOpener::Run(const char* program, const std::string& argument) const {
    std::string name = program;
    std::string copy = argument;
    char* const argv[] = {name.data(), copy.data(), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, program, nullptr, nullptr, argv, environ);
    if (spawned != 0) {
        return OutcomeOfSpawnError(spawned);
    }
    const auto deadline = std::chrono::steady_clock::now() + patience_;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            return WIFEXITED(status) ? OutcomeOfExitStatus(WEXITSTATUS(status))
                                     : OpenUrlOutcome::kUnknownFailure;
        }
        if (done < 0 && errno != EINTR) {
            return OpenUrlOutcome::kUnknownFailure;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            // Still running: it has the page; reap it whenever it ends.
            std::thread([child] {
                int ignored = 0;
                while (waitpid(child, &ignored, 0) < 0 && errno == EINTR) {
                }
            }).detach();
            return OpenUrlOutcome::kOpened;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

UrlOpener* ActiveUrlOpener() noexcept {
    return g_opener.load();
}

void InstallUrlOpener(UrlOpener* opener) noexcept {
    g_opener.store(opener);
}

int MessageIdForOutcome(OpenUrlOutcome outcome) noexcept {
    switch (outcome) {
        case OpenUrlOutcome::kOpened:
        case OpenUrlOutcome::kUnknownFailure:
            return 0;
        case OpenUrlOutcome::kNoAssociation:
            return IDS_SE_ERR_NOASSOC;
        case OpenUrlOutcome::kAssociationIncomplete:
            return IDS_SE_ERR_ASSOCINCOMPLETE;
        case OpenUrlOutcome::kFileNotFound:
            return IDS_SE_ERR_FNF;
        case OpenUrlOutcome::kPathInvalid:
            return IDS_SE_ERR_PNF;
        case OpenUrlOutcome::kAccessDenied:
            return IDS_SE_ERR_ACCESSDENIED;
        case OpenUrlOutcome::kOutOfMemory:
            return IDS_SE_ERR_OOM;
    }
    return 0;
}

std::string WebManagementUrl(const char* ipAddress) {
    return std::string("http://") + ipAddress;
}
