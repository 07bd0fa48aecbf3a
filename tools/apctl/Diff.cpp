#include "tools/apctl/Diff.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "discovery/FieldText.h"
#include "fleet/SavedDiscovery.h"
#include "fleet/WatchChanges.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlRun.h"
#include "tools/apctl/ChangeLines.h"

namespace apctl {

namespace {

constexpr char kStandardInput[] = "-";
// Thousands of access points take a few megabytes; a file this large is something else (a
// device, /dev/zero), and reading it whole would only exhaust the memory.
constexpr std::size_t kLargestFile = std::size_t{64} << 20;

bool ReadAll(std::FILE* file, std::string* text, std::string* error) {
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (text->size() + got > kLargestFile) {
            *error = "larger than 64 MiB, which no saved discovery is";
            return false;
        }
        text->append(buffer, got);
    }
    if (std::ferror(file) != 0) {
        // A directory opens, and fails only here.
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string* text, std::string* error) {
    if (path == kStandardInput) {
        return ReadAll(stdin, text, error);
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               std::fclose);
    if (!file) {
        *error = std::strerror(errno);
        return false;
    }
    return ReadAll(file.get(), text, error);
}

std::string Shown(const std::string& path) {
    return path == kStandardInput ? std::string("standard input") : InterfaceNameText(path);
}

// The `~` lines name the access point as NEW has it.
void NameChanges(const std::vector<DeviceRecord>& now, std::vector<fleet::Change>* changes) {
    std::map<std::string, const DeviceRecord*> byMac;
    for (const DeviceRecord& record : now) {
        byMac.emplace(FieldText(record.macText), &record);
    }
    for (fleet::Change& change : *changes) {
        const auto found = byMac.find(change.macText);
        if (change.kind == fleet::Change::Kind::kChanged && found != byMac.end()) {
            change.record = *found->second;
        }
    }
}

}  // namespace

int Diff(const Command& command, std::ostream& out, std::ostream& err) {
    if (command.oldPath == kStandardInput && command.newPath == kStandardInput) {
        err << "apctl: diff: standard input (-) can be only one of OLD and NEW\n"
               "Try 'apctl --help'.\n";
        return kExitUsage;
    }
    std::vector<DeviceRecord> lists[2];
    const std::string* paths[] = {&command.oldPath, &command.newPath};
    for (int i = 0; i < 2; ++i) {
        std::string text, error;
        if (!ReadWholeFile(*paths[i], &text, &error) ||
            !fleet::ReadSavedDiscovery(text, &lists[i], &error)) {
            err << "apctl: " << Shown(*paths[i]) << ": " << error << "\n";
            return kExitUsage;
        }
    }
    std::vector<fleet::Change> changes = fleet::CompareOnce(lists[0], lists[1]);
    NameChanges(lists[1], &changes);
    ChangeLineForm form{command.format == OutputFormat::kJson, "", "not in the new file"};
    form.namedChanges = true;
    for (const fleet::Change& change : changes) {
        PrintChange(change, form, out);
    }
    // 1 says that the files differ, so output lost is 2, as diff(1) has it.
    if (!out.flush()) {
        return kExitUsage;
    }
    return changes.empty() ? kExitSuccess : kExitFailed;
}

}  // namespace apctl
