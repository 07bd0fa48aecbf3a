#include "tools/apctl/CheckedOutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace apctl {

namespace {
constexpr std::size_t kBufferLimit = 1 << 16;
}  // namespace

bool CheckedOutput::WriteAll(const char* data, std::size_t length) {
    if (error_ != 0) {
        return false;
    }
    while (length > 0) {
        const ssize_t written = ::write(fd_, data, length);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error_ = errno;
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

bool CheckedOutput::Flush() {
    const bool written = WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return written && error_ == 0;
}

CheckedOutput::int_type CheckedOutput::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) {
        return traits_type::not_eof(ch);
    }
    const char c = traits_type::to_char_type(ch);
    return xsputn(&c, 1) == 1 ? ch : traits_type::eof();
}

std::streamsize CheckedOutput::xsputn(const char* data, std::streamsize count) {
    if (error_ != 0) {
        return 0;
    }
    buffer_.append(data, static_cast<std::size_t>(count));
    // Lines go out as they are completed, so a long-running command's output is seen at once.
    if (buffer_.size() >= kBufferLimit || buffer_.find('\n') != std::string::npos) {
        if (!Flush()) {
            return 0;
        }
    }
    return count;
}

int CheckedOutput::sync() {
    return Flush() ? 0 : -1;
}

std::string WriteErrorMessage(int error) {
    if (error == 0 || error == EPIPE) {
        return "";
    }
    return std::string("write error: ") + std::strerror(error);
}

}  // namespace apctl
