#pragma once

#include <chrono>
#include <string>

// Opening a web page in the user's default browser, behind a seam so tests can see the URL
// without starting anything.

enum class OpenUrlOutcome {
    kOpened,
    kNoAssociation,          // no opener installed, or none for this kind of URL
    kAssociationIncomplete,  // the desktop's opener failed
    kFileNotFound,
    kPathInvalid,
    kAccessDenied,
    kOutOfMemory,
    kUnknownFailure,  // a failure with no message of its own
};

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual OpenUrlOutcome Open(const std::string& url) = 0;
    // A manual page in the desktop's help viewer, as the address "man:PAGE" by default.
    virtual OpenUrlOutcome OpenManual(const std::string& page) { return Open("man:" + page); }
};

// Runs `xdg-open URL` as a child process with an argument vector (never through a shell) and
// reads its exit status. An opener still running after `patience` has handed the page on to a
// browser it keeps alive: that counts as opened.
class XdgOpenUrlOpener final : public UrlOpener {
public:
    explicit XdgOpenUrlOpener(std::chrono::milliseconds patience = std::chrono::seconds(5))
        : patience_(patience) {}
    OpenUrlOutcome Open(const std::string& url) override;
    // yelp where it is installed, as it reads manual pages itself; else `xdg-open man:PAGE`.
    OpenUrlOutcome OpenManual(const std::string& page) override;

private:
    OpenUrlOutcome Run(const char* program, const std::string& argument) const;

    std::chrono::milliseconds patience_;
};

// The opener in use. There is none until the program installs one, so that a test can never start
// a browser; without one every launch reports kNoAssociation.
UrlOpener* ActiveUrlOpener() noexcept;
void InstallUrlOpener(UrlOpener* opener) noexcept;

// The string resource that reports an outcome, or 0 when there is nothing to say.
int MessageIdForOutcome(OpenUrlOutcome outcome) noexcept;

// "http://" and the address, exactly: no path, no trailing slash, no port.
std::string WebManagementUrl(const char* ipAddress);
