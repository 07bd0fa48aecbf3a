#pragma once

#include <string>
#include <vector>

// Helpers of the benchmarks that drive the lab: run a program, measure one, read the
// simulators' logs, name the machine the figures came from.
namespace bench {

// Runs a program to its end; its standard output is returned through `output` when given.
// Returns its exit status, or -1.
int RunProgram(const std::vector<std::string>& arguments, std::string* output = nullptr);

struct Measured {
    int exitStatus = -1;
    long peakKilobytes = -1;  // of the program the launchers finally exec into
    double startMono = 0;     // CLOCK_MONOTONIC seconds, as in the simulators' logs
    double exitMono = 0;      // as that program exits, before the launchers are gone
    std::string output;       // its standard output
};

// Runs a program through launchers that exec into it (scripts/lab exec, ip netns exec) and
// measures the last program's peak resident memory and the moment it exits.
bool Measure(const std::vector<std::string>& arguments, Measured* measured);

struct LogEvent {
    double mono = 0;
    bool reply = false;
    bool discovery = false;  // a request that was a discovery request
};

// The requests and replies of one simulator's log within [start, end].
std::vector<LogEvent> ReadLog(const std::string& path, double start, double end);

// Whether a lab benchmark can run: it must be root (said on stderr, naming `program`, when it
// is not). An interrupt then only ends the program it is measuring, so that the benchmark goes on
// to take its lab down.
bool ReadyForTheLab(const char* program);

// "Linux 6.1.0 x86_64, Intel(R) Xeon(R) ..., 2 cores"
std::string MachineText();

}  // namespace bench
