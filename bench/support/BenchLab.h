#pragma once

#include <string>

#include "bench/support/FleetBuilder.h"

namespace bench {

// A lab (scripts/lab) brought up with a fleet for the time of a benchmark and taken down, its
// fleet file and temporary folder removed, when this goes. Needs root.
class BenchLab {
public:
    BenchLab(std::string script, std::string id, std::string apsim);
    ~BenchLab();
    BenchLab(const BenchLab&) = delete;
    BenchLab& operator=(const BenchLab&) = delete;

    // False, with a message on stderr naming `program`, when the lab could not be brought up.
    bool Up(const Fleet& fleet, const char* program);

    // A folder of the benchmark's own for files it writes; removed with the lab.
    const std::string& directory() const { return directory_; }
    // Where the simulators write their logs (one <network>.jsonl each).
    const std::string& logDirectory() const { return logDirectory_; }

private:
    std::string script_, id_, apsim_;
    std::string directory_, logDirectory_;
    bool up_ = false;
};

}  // namespace bench
