#include "tools/apsim/LabNamespace.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

namespace apsim {

namespace {

constexpr char kNamedNamespaces[] = "/run/netns";
constexpr char kLabPrefix[] = "apmlab-";

}  // namespace

// The machine's own namespace cannot be recognised directly here (the first process's namespace
// link is not readable), so the test is positive: the namespace must be one the lab named.
bool InLabNamespace(std::string* why) {
    struct stat own {};
    if (stat("/proc/self/ns/net", &own) != 0) {
        *why = "cannot tell which network namespace this is (/proc/self/ns/net)";
        return false;
    }
    DIR* directory = opendir(kNamedNamespaces);
    if (directory != nullptr) {
        while (const dirent* entry = readdir(directory)) {
            if (std::strncmp(entry->d_name, kLabPrefix, sizeof kLabPrefix - 1) != 0) {
                continue;
            }
            const std::string path = std::string(kNamedNamespaces) + "/" + entry->d_name;
            struct stat named {};
            if (stat(path.c_str(), &named) == 0 && named.st_dev == own.st_dev &&
                named.st_ino == own.st_ino) {
                closedir(directory);
                return true;
            }
        }
        closedir(directory);
    }
    *why =
        "refusing to run outside the lab: this is not one of its network namespaces "
        "(apmlab-*); start the lab with scripts/lab up FLEET.json";
    return false;
}

}  // namespace apsim
