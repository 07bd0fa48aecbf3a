#pragma once

#include <streambuf>
#include <string>

namespace apctl {

// Standard output that remembers why a write failed. An ostream's own failure bit forgets the
// system's reason, and a tool that lost its results must say so and fail, not exit 0.
class CheckedOutput final : public std::streambuf {
public:
    explicit CheckedOutput(int fd) : fd_(fd) {}
    ~CheckedOutput() override = default;
    CheckedOutput(const CheckedOutput&) = delete;
    CheckedOutput& operator=(const CheckedOutput&) = delete;

    // Writes what is buffered; false once any write has failed.
    bool Flush();
    // errno of the first failed write, or 0.
    int error() const noexcept { return error_; }

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int sync() override;

private:
    bool WriteAll(const char* data, std::size_t length);

    int fd_;
    int error_ = 0;
    std::string buffer_;
};

// What a failed write means for the exit: nothing to say when the reader has gone away (a pipe
// into `head`), else "write error: " and the system's text.
std::string WriteErrorMessage(int error);

}  // namespace apctl
