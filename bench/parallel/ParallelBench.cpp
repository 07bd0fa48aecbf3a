// parallel_bench: `apctl discover` against `apctl discover --parallel` on many networks.
//
// Brings up the lab with N access points on each of K networks (10 and 10 by default), runs
// `apctl discover --json` and `apctl discover --json --parallel` one after the other in the lab's
// host namespace, and prints for each the wall time, the records found and the peak resident
// memory; then their ratio, whether both printed the same JSON, and how long the parallel
// discovery went on after the slowest network's last reply. Needs root (the lab).
//
// Times are read on CLOCK_MONOTONIC, the clock of the simulators' logs: a discovery runs from
// its first request, as logged by the simulators, until apctl exits, so neither the launchers
// before apctl nor the lab's own bookkeeping count.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "bench/support/BenchLab.h"
#include "bench/support/FleetBuilder.h"
#include "bench/support/LabBench.h"

namespace {

constexpr char kLabId[] = "benchpar";
constexpr double kSilenceSeconds = 4.0;
constexpr double kAfterLastReplyTarget = kSilenceSeconds + 0.150;
constexpr double kRatioTarget = 8.0;

struct Options {
    int perNetwork = 10;
    int networks = 10;
    std::string lab = AP_LAB_SCRIPT;
    std::string apsim = AP_APSIM;
    std::string apctl = AP_APCTL;
};

// An interrupt ends the apctl it reaches; the benchmark itself goes on to take the lab down.
// Each access point answers every copy, a little late by an amount of its own (up to 0.4 s),
// so that the networks' last replies differ.
bench::Fleet MakeFleet(const Options& options) {
    bench::Fleet fleet = bench::Grid({.networks = options.networks,
                                      .perNetwork = options.perNetwork,
                                      .foreignEvery = 0,
                                      .macPrefix = "02AC",
                                      .name = {}});
    fleet.defaults = QJsonObject{
        {"answer", "every"}, {"firmware", "0104"}, {"ssidBg", "corporate-guest"},
        {"channelBg", 6},    {"wirelessMode", 7},  {"description", "Benchmark access point"}};
    for (std::size_t k = 0; k < fleet.accessPoints.size(); ++k) {
        const int index = static_cast<int>(k) % options.perNetwork;
        bench::FleetAccessPoint& accessPoint = fleet.accessPoints[k];
        accessPoint.fields.insert(
            "replyDelayMs",
            static_cast<int>((bench::Scrambled(accessPoint.network, index) >> 8) % 400));
    }
    return fleet;
}

struct Discovery {
    bool ok = false;
    bench::Measured measured;
    int records = 0;
    double firstRequest = 0;  // monotonic, over every network
    double lastReply = 0;     // monotonic, the slowest network's last reply
    double seconds = 0;       // first request until apctl exits
    int requests = 0;
};

Discovery RunDiscovery(const Options& options, const std::string& logDirectory, bool parallel) {
    Discovery run;
    std::vector<std::string> command = {options.lab, "--id",        kLabId,     "exec",
                                        "--",        options.apctl, "discover", "--json"};
    if (parallel) {
        command.push_back("--parallel");
    }
    if (!bench::Measure(command, &run.measured) || run.measured.exitStatus != 0) {
        std::fprintf(stderr, "parallel_bench: apctl discover%s failed (exit %d)\n",
                     parallel ? " --parallel" : "", run.measured.exitStatus);
        return run;
    }
    run.records = static_cast<int>(
        QJsonDocument::fromJson(QByteArray::fromStdString(run.measured.output)).array().size());
    run.firstRequest = run.measured.exitMono;
    for (int n = 0; n < options.networks; ++n) {
        for (const bench::LogEvent& event :
             bench::ReadLog(logDirectory + "/lan" + std::to_string(n) + ".jsonl",
                            run.measured.startMono, run.measured.exitMono)) {
            if (event.reply) {
                run.lastReply = std::max(run.lastReply, event.mono);
            } else if (event.discovery) {
                run.firstRequest = std::min(run.firstRequest, event.mono);
                ++run.requests;
            }
        }
    }
    run.seconds = run.measured.exitMono - run.firstRequest;
    run.ok = run.requests > 0;
    if (!run.ok) {
        std::fprintf(stderr, "parallel_bench: no discovery request in the simulators' logs\n");
    }
    return run;
}

void PrintRun(const char* label, const Discovery& run) {
    std::printf(
        "%-28s %7.3f s  (%.3f s with the launchers), %d records, %d requests, "
        "peak resident memory %.1f MB\n",
        label, run.seconds, run.measured.exitMono - run.measured.startMono, run.records,
        run.requests, static_cast<double>(run.measured.peakKilobytes) / 1024.0);
}

// Prints both runs and the figures against their targets; 0 when both found the same.
int Compare(const Options& options, const Discovery& walk, const Discovery& parallel) {
    const int present = options.perNetwork * options.networks;
    const double ratio = walk.seconds / parallel.seconds;
    const double afterLastReply = parallel.measured.exitMono - parallel.lastReply;
    const bool sameJson = walk.measured.output == parallel.measured.output;
    const auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
    PrintRun("apctl discover", walk);
    PrintRun("apctl discover --parallel", parallel);
    std::printf("\n                                        figure       target\n");
    std::printf("  records, sequential / parallel      %4d / %-4d    %d each, equal  %s\n",
                walk.records, parallel.records, present,
                verdict(walk.records == present && parallel.records == present));
    std::printf("  identical JSON                      %-12s yes            %s\n",
                sameJson ? "yes" : "no", verdict(sameJson));
    std::printf("  slowest network's last reply        +%.3f s\n",
                parallel.lastReply - parallel.firstRequest);
    std::printf("  parallel, after that last reply     %6.3f s     <= %.3f s       %s\n",
                afterLastReply, kAfterLastReplyTarget,
                verdict(afterLastReply <= kAfterLastReplyTarget));
    std::printf("  ratio sequential / parallel         %6.2f       >= %.0f           %s\n", ratio,
                kRatioTarget, verdict(ratio >= kRatioTarget));
    std::printf("  peak resident memory (larger)       %6.1f MB\n",
                static_cast<double>(
                    std::max(walk.measured.peakKilobytes, parallel.measured.peakKilobytes)) /
                    1024.0);
    return sameJson && walk.records == parallel.records ? 0 : 1;
}

int Benchmark(const Options& options) {
    if (!bench::ReadyForTheLab("parallel_bench")) {
        return 1;
    }
    std::printf("parallel benchmark: %d access points on each of %d networks\nmachine: %s\n",
                options.perNetwork, options.networks, bench::MachineText().c_str());
    std::fflush(stdout);
    bench::BenchLab lab(options.lab, kLabId, options.apsim);
    if (!lab.Up(MakeFleet(options), "parallel_bench")) {
        return 1;
    }
    const std::string& logDirectory = lab.logDirectory();

    const Discovery walk = RunDiscovery(options, logDirectory, false);
    const Discovery parallel = walk.ok ? RunDiscovery(options, logDirectory, true) : Discovery{};

    if (!walk.ok || !parallel.ok) {
        return 1;
    }

    return Compare(options, walk, parallel);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: parallel_bench [--per-network N] [--networks K]\n"
                 "                      [--lab PATH] [--apsim PATH] [--apctl PATH]\n"
                 "Runs as root; defaults: 10 access points on each of 10 networks.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--per-network") {
            options.perNetwork = static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
        } else if (option == "--networks") {
            options.networks = static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
        } else if (option == "--lab") {
            options.lab = value;
        } else if (option == "--apsim") {
            options.apsim = value;
        } else if (option == "--apctl") {
            options.apctl = value;
        } else {
            return Usage();
        }
    }
    if (argc % 2 == 0 || options.perNetwork < 1 || options.perNetwork > 1000 ||
        options.networks < 1 || options.networks > 10) {
        return Usage();
    }
    return Benchmark(options);
}
