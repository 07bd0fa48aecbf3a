#include "bench/support/BenchLab.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "bench/support/LabBench.h"

namespace bench {

BenchLab::BenchLab(std::string script, std::string id, std::string apsim)
    : script_(std::move(script)), id_(std::move(id)), apsim_(std::move(apsim)) {}

BenchLab::~BenchLab() {
    if (up_) {
        std::string ignored;
        RunProgram({script_, "--id", id_, "--apsim", apsim_, "down"}, &ignored);
    }
    if (!directory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
}

bool BenchLab::Up(const Fleet& fleet, const char* program) {
    std::string folder = "/tmp/" + std::string(program) + ".XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) {
        std::fprintf(stderr, "%s: mkdtemp: %s\n", program, std::strerror(errno));
        return false;
    }
    directory_ = folder;
    const std::string fleetPath = directory_ + "/fleet.json";
    std::ofstream(fleetPath) << FleetJson(fleet);
    std::string ignored;
    if (RunProgram({script_, "--id", id_, "--apsim", apsim_, "up", fleetPath}, &ignored) != 0) {
        std::fprintf(stderr, "%s: the lab could not be brought up\n", program);
        return false;
    }
    up_ = true;
    RunProgram({script_, "--id", id_, "logdir"}, &logDirectory_);
    logDirectory_.erase(logDirectory_.find_last_not_of('\n') + 1);
    return true;
}

}  // namespace bench
