#include "tools/apctl/WatchTextfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace apctl {

namespace {

// The file's folder up to and with its last '/'; empty for the current folder.
std::string FolderPrefix(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Failed(const char* step, int error) {
    return std::string(step) + ": " + std::strerror(error);
}

}  // namespace

bool TextfileFolderExists(const std::string& path, std::string* folder) {
    // Built as a new string and moved in: GCC 12 at -O3 warns falsely (-Wrestrict) when a
    // literal is assigned over the prefix just computed.
    std::string prefix = FolderPrefix(path);
    if (prefix.size() > 1) {
        prefix.pop_back();
    }
    *folder = prefix.empty() ? std::string(1, '.') : std::move(prefix);
    struct stat status {};
    return stat(folder->c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* reason) {
    const std::size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    // A dot file with a random end: node_exporter reads only the *.prom files it is given, so
    // never this one.
    std::string temporary = FolderPrefix(path) + "." + base + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *reason = Failed("creating a temporary file", errno);
        return false;
    }
    const auto fail = [&](const char* step, int error) {
        if (fd >= 0) {
            close(fd);
        }
        unlink(temporary.c_str());
        *reason = Failed(step, error);
        return false;
    };
    // mkostemp makes it 0600; the collector runs as another user.
    if (fchmod(fd, 0644) != 0) {
        return fail("setting the temporary file's mode", errno);
    }
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return fail("writing the temporary file", errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0) {
        return fail("syncing the temporary file", errno);
    }
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        *reason = Failed("closing the temporary file", error);
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        *reason = Failed("renaming the temporary file over it", error);
        return false;
    }
    return true;
}

}  // namespace apctl
