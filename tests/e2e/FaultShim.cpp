// Preloaded into a test program (LD_PRELOAD) to make the system refuse what a test needs refused:
// APTEST_REFUSE_DEVICE_BINDING=1 makes tying a socket to an interface fail with EPERM, as older
// kernels do for unprivileged programs; APTEST_VANISHED_INTERFACE=NAME makes the name lookup of
// that interface find nothing (index 0), as when it disappears between listing and binding.
#include <dlfcn.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int setsockopt(int socket, int level, int option, const void* value,
                          socklen_t length) noexcept {
    using Setsockopt = int (*)(int, int, int, const void*, socklen_t);
    static const Setsockopt real = Next<Setsockopt>("setsockopt");
    const char* refuse = std::getenv("APTEST_REFUSE_DEVICE_BINDING");
    if (level == SOL_SOCKET && (option == SO_BINDTOIFINDEX || option == SO_BINDTODEVICE) &&
        refuse != nullptr && std::strcmp(refuse, "1") == 0) {
        errno = EPERM;
        return -1;
    }
    return real(socket, level, option, value, length);
}

extern "C" unsigned int if_nametoindex(const char* name) noexcept {
    using NameToIndex = unsigned int (*)(const char*);
    static const NameToIndex real = Next<NameToIndex>("if_nametoindex");
    const char* vanished = std::getenv("APTEST_VANISHED_INTERFACE");
    if (vanished != nullptr && name != nullptr && std::strcmp(name, vanished) == 0) {
        return 0;
    }
    return real(name);
}
