// fleet_bench: a large fleet in the lab, and the figures of discovering it.
//
// Brings up the lab with N access points on each of K networks, every one answering all three
// copies of the request at once, and prints: access points found out of present; the replies the
// kernel dropped for want of receive buffer; the overhead of one discovery, i.e. its wall time
// less the time the networks themselves took (see Overhead); and the peak resident memory of
// `apctl discover`. Needs root (the lab).
//
// The program runs twice: outside, where it drives the lab and reads the simulators' logs, and
// inside the lab's host namespace (--inside), where it runs one discovery itself so that the wall
// time is that of the call alone, read on the same monotonic clock as the logs. A fleet the
// window's table holds is discovered as the window does (DiscoverDevices, one network after the
// other); a larger one, or --parallel, as apctl does (DiscoverAll).

#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/support/BenchLab.h"
#include "bench/support/FleetBuilder.h"
#include "bench/support/LabBench.h"
#include "discovery/DeviceRecord.h"
#include "discovery/DiscoverDevices.h"
#include "discovery/Exchange.h"
#include "discovery/NetworkStartup.h"
#include "net/PosixSocketLayer.h"
#include "tools/apsim/EventLog.h"
#include "tools/apsim/LabNamespace.h"

namespace {

using bench::LogEvent;
using bench::MachineText;
using bench::ReadLog;
using bench::RunProgram;

constexpr double kSilenceSeconds = 4.0;

struct Options {
    int perNetwork = 192;
    int networks = 2;
    int runs = 3;
    bool parallel = false;
    std::string labId = "bench";
    std::string lab = AP_LAB_SCRIPT;
    std::string apsim = AP_APSIM;
    std::string apctl = AP_APCTL;
    std::string self;  // this program, to run again inside the lab
};

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) {
    g_interrupted = 1;
}

bench::Fleet MakeFleet(const Options& options) {
    bench::Fleet fleet = bench::Grid({.networks = options.networks,
                                      .perNetwork = options.perNetwork,
                                      .foreignEvery = 0,
                                      .macPrefix = "02AB",
                                      .name = {}});
    fleet.defaults =
        QJsonObject{{"answer", "every"},
                    {"replyDelayMs", 0},
                    {"firmware", "0104"},
                    {"ssidBg", "corporate-guest"},
                    {"channelBg", 6},
                    {"ssidA", "corporate-5g"},
                    {"channelA", 40},
                    {"wirelessMode", 7},
                    {"description", "Benchmark access point, ceiling mount, building 4"}};
    return fleet;
}

// --inside: one discovery in the lab's host namespace. Prints the monotonic start and end, the
// count and the datagrams the kernel dropped on the first line, then one MAC text per line.
int RunInside(bool asTool, bool parallel) {
    std::string why;
    if (!apsim::InLabNamespace(&why)) {
        std::fprintf(stderr, "fleet_bench: %s\n", why.c_str());
        return 1;
    }
    net::PosixSocketLayer layer;
    net::InstallSocketLayer(&layer);
    NetworkStartup();
    DeviceTablePtr table = AllocateDeviceTable();
    if (!table) {
        std::fprintf(stderr, "fleet_bench: no memory for a device table\n");
        return 1;
    }
    ExchangeReport report;
    ExchangeOptions options;
    options.parallel = parallel;
    std::vector<DeviceRecord> records;
    int count = 0;
    const double start = apsim::MonotonicSeconds();
    if (asTool) {
        DiscoverAll(options, &records, nullptr, &report);
    } else {
        DiscoverDevicesWith(options, table.get(), &count, nullptr, &report);
    }
    const double end = apsim::MonotonicSeconds();
    if (!asTool) {
        records.assign(table->records, table->records + count);
    }
    unsigned long long dropped = 0;
    for (const AddressExchange& exchange : report.addresses) {
        dropped += exchange.droppedByKernel;
    }
    std::printf("%.6f %.6f %zu %llu\n", start, end, records.size(), dropped);
    for (const DeviceRecord& record : records) {
        std::printf("%s\n", record.macText);
    }
    NetworkCleanup();
    net::InstallSocketLayer(nullptr);
    return 0;
}

int Found(const std::vector<std::string>& macs, const std::set<std::string>& present) {
    std::set<std::string> distinct;
    for (const std::string& mac : macs) {
        if (present.count(mac) != 0) {
            distinct.insert(mac);
        }
    }
    return static_cast<int>(distinct.size());
}

// The window's table holds 384; past that, and all at once, only the tool's path can find all.
bool AsTool(const Options& options, const std::set<std::string>& present) {
    return options.parallel || present.size() > static_cast<std::size_t>(kDeviceTableCapacity);
}

double OverheadPerNetwork(const Options& options, double overheadMs) {
    return options.parallel ? overheadMs : overheadMs / options.networks;
}

// The sum of N in apctl's "N replies dropped by the kernel" warnings.
unsigned long long DroppedInWarnings(const std::string& text) {
    unsigned long long dropped = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find(" dropped by the kernel");
        const std::size_t colon = line.rfind(": ", at);
        if (at != std::string::npos && colon != std::string::npos) {
            dropped += std::strtoull(line.c_str() + colon + 2, nullptr, 10);
        }
    }
    return dropped;
}

struct RunFigures {
    int found = 0;
    unsigned long long dropped = 0;
    double wallSeconds = 0;
    double overheadMs = 0;
};

struct NetworkTimes {
    double firstRequest = -1;  // -1: none logged
    double lastReply = -1;     // -1: none logged
    int replies = 0;
};

NetworkTimes TimesOf(const std::vector<LogEvent>& events) {
    NetworkTimes times;
    for (const LogEvent& event : events) {
        if (!event.reply && times.firstRequest < 0) {
            times.firstRequest = event.mono;
        }
        if (event.reply) {
            times.lastReply = std::max(times.lastReply, event.mono);
            ++times.replies;
        }
    }
    return times;
}

bool MeasureOnce(const Options& options, const std::string& logDirectory,
                 const std::set<std::string>& present, int run, RunFigures* figures) {
    std::string output;
    std::vector<std::string> inside = {options.lab, "--id",       options.labId, "exec",
                                       "--",        options.self, "--inside"};
    if (AsTool(options, present)) {
        inside.push_back("--tool");
    }
    if (options.parallel) {
        inside.push_back("--parallel");
    }
    const int status = RunProgram(inside, &output);
    std::istringstream lines(output);
    double start = 0;
    double end = 0;
    int count = 0;
    if (status != 0 || !(lines >> start >> end >> count >> figures->dropped)) {
        std::fprintf(stderr, "fleet_bench: the discovery inside the lab failed (status %d)\n",
                     status);
        return false;
    }
    std::vector<std::string> macs;
    for (std::string mac; lines >> mac;) {
        macs.push_back(mac);
    }
    figures->found = Found(macs, present);
    figures->wallSeconds = end - start;

    // Overhead: each network's exchange needs the time until its last reply and then the 4 s of
    // silence; what the call takes beyond that is its own. One after the other those times add
    // up, and the overhead is shared out per network; all at once the slowest network's time is
    // what the call needs, and the whole overhead is each network's.
    double accounted = 0;
    std::string detail;
    for (int n = 0; n < options.networks; ++n) {
        const std::vector<LogEvent> events =
            ReadLog(logDirectory + "/lan" + std::to_string(n) + ".jsonl", start, end);
        const auto [firstRequest, lastReply, replies] = TimesOf(events);
        if (firstRequest < 0) {
            std::fprintf(stderr, "fleet_bench: no request logged on lan%d\n", n);
            return false;
        }
        const double answering = lastReply < 0 ? 0 : lastReply - firstRequest;
        if (options.parallel) {
            accounted = std::max(
                accounted, (lastReply < 0 ? firstRequest : lastReply) - start + kSilenceSeconds);
        } else {
            accounted += answering + kSilenceSeconds;
        }
        char text[160];
        std::snprintf(text, sizeof text,
                      "  lan%d: first request at +%.3f s, %d replies, last at "
                      "+%.3f s\n",
                      n, firstRequest - start, replies, lastReply < 0 ? 0.0 : lastReply - start);
        detail += text;
    }
    figures->overheadMs = (figures->wallSeconds - accounted) * 1000.0;
    std::printf(
        "run %d: found %d/%zu, %llu dropped by the kernel, %s %.3f s, overhead %.1f ms (%.1f ms "
        "per network)\n%s",
        run, figures->found, present.size(), figures->dropped,
        AsTool(options, present) ? "DiscoverAll" : "DiscoverDevices", figures->wallSeconds,
        figures->overheadMs, OverheadPerNetwork(options, figures->overheadMs), detail.c_str());
    std::fflush(stdout);
    return true;
}

void InstallInterruptHandlers() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigaction(signal, &action, nullptr);
    }
}

// What apctl discover itself found, dropped and took of memory.
struct ApctlFigures {
    int found = 0;
    unsigned long long dropped = 0;
    long peakKilobytes = -1;
};

ApctlFigures MeasureApctl(const Options& options, const std::string& directory,
                          const std::set<std::string>& present) {
    ApctlFigures figures;
    // Through a shell that execs into apctl, so that its warnings can be kept and counted.
    const std::string warnings = std::string(directory) + "/apctl.err";
    bench::Measured measured;
    bench::Measure({options.lab, "--id", options.labId, "exec", "--", "/bin/sh", "-c",
                    "exec \"$0\" discover --json $1 2>\"$2\"", options.apctl,
                    options.parallel ? "--parallel" : "", warnings},
                   &measured);
    std::ifstream warningFile(warnings);
    const std::string warningText((std::istreambuf_iterator<char>(warningFile)),
                                  std::istreambuf_iterator<char>());
    figures.dropped = DroppedInWarnings(warningText);
    std::remove(warnings.c_str());
    figures.peakKilobytes = measured.peakKilobytes;
    const int status = measured.exitStatus;
    const std::string& output = measured.output;
    std::vector<std::string> macs;
    for (const QJsonValue record :
         QJsonDocument::fromJson(QByteArray::fromStdString(output)).array()) {
        macs.push_back(record.toObject().value("macText").toString().toStdString());
    }
    figures.found = Found(macs, present);
    std::printf(
        "apctl discover%s: exit %d, found %d/%zu, %llu dropped by the kernel (as its "
        "warnings say), peak resident memory %.1f MB\n",
        options.parallel ? " --parallel" : "", status, figures.found, present.size(),
        figures.dropped, static_cast<double>(figures.peakKilobytes) / 1024.0);
    return figures;
}

void PrintSummary(const Options& options, const std::vector<RunFigures>& runs,
                  const std::set<std::string>& present, const ApctlFigures& apctl) {
    std::vector<double> perNetwork;
    int worstFound = static_cast<int>(present.size());
    unsigned long long mostDropped = 0;
    for (const RunFigures& figures : runs) {
        perNetwork.push_back(OverheadPerNetwork(options, figures.overheadMs));
        worstFound = std::min(worstFound, figures.found);
        mostDropped = std::max(mostDropped, figures.dropped);
    }
    std::sort(perNetwork.begin(), perNetwork.end());
    std::printf("\nsummary of %zu runs                  figure        target\n", runs.size());
    std::printf("  access points found (worst run)  %4d/%-4zu     all\n", worstFound,
                present.size());
    std::printf("  dropped by the kernel (worst)    %6llu        0, or every one told\n",
                mostDropped);
    std::printf("  apctl: found, dropped            %4d, %llu\n", apctl.found, apctl.dropped);
    std::printf("  overhead per network (median)    %6.1f ms     < 50 ms\n",
                perNetwork[perNetwork.size() / 2]);
    std::printf("  overhead per network (worst)     %6.1f ms     < 50 ms\n", perNetwork.back());
    std::printf("  apctl peak resident memory       %6.1f MB     < 30 MB\n",
                static_cast<double>(apctl.peakKilobytes) / 1024.0);
}

int RunOutside(const Options& options) {
    if (geteuid() != 0) {
        std::fprintf(stderr, "fleet_bench: needs root to build its network-namespace lab\n");
        return 1;
    }
    InstallInterruptHandlers();
    const bench::Fleet fleet = MakeFleet(options);
    std::set<std::string> present;
    for (const bench::FleetAccessPoint& accessPoint : fleet.accessPoints) {
        present.insert(accessPoint.mac);
    }
    std::printf(
        "fleet benchmark: %zu access points on %d networks (%d each), every one "
        "answering all three copies at once%s\nmachine: %s\n",
        present.size(), options.networks, options.perNetwork,
        options.parallel ? ", networks discovered all at once" : "", MachineText().c_str());
    std::fflush(stdout);
    bench::BenchLab lab(options.lab, options.labId, options.apsim);
    if (!lab.Up(fleet, "fleet_bench")) {
        return 1;
    }
    const std::string& logDirectory = lab.logDirectory();

    bool ok = true;
    std::vector<RunFigures> runs;
    for (int run = 1; run <= options.runs && ok && !g_interrupted; ++run) {
        RunFigures figures;
        ok = MeasureOnce(options, logDirectory, present, run, &figures);
        runs.push_back(figures);
    }

    ApctlFigures apctl;
    if (ok && !g_interrupted) {
        apctl = MeasureApctl(options, lab.directory(), present);
    }
    if (!ok || g_interrupted || runs.empty()) {
        return 1;
    }

    PrintSummary(options, runs, present, apctl);
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: fleet_bench [--per-network N] [--networks K] [--runs R] [--parallel]\n"
                 "                   [--lab PATH] [--lab-id ID] [--apsim PATH] [--apctl PATH]\n"
                 "Runs as root; defaults: 192 access points on each of 2 networks, 3 runs.\n"
                 "Up to 5000 access points on each of up to 10 networks.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--inside") {
            const auto given = [&](const char* flag) {
                return std::find_if(argv + i, argv + argc, [flag](const char* argument) {
                           return std::strcmp(argument, flag) == 0;
                       }) != argv + argc;
            };
            return RunInside(given("--tool"), given("--parallel"));
        }
        if (option == "--parallel") {
            options.parallel = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage();
        }
        const std::string value = argv[++i];
        if (option == "--per-network") {
            options.perNetwork = std::atoi(value.c_str());
        } else if (option == "--networks") {
            options.networks = std::atoi(value.c_str());
        } else if (option == "--runs") {
            options.runs = std::atoi(value.c_str());
        } else if (option == "--lab") {
            options.lab = value;
        } else if (option == "--apsim") {
            options.apsim = value;
        } else if (option == "--lab-id") {
            options.labId = value;
        } else if (option == "--apctl") {
            options.apctl = value;
        } else {
            return Usage();
        }
    }
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        std::perror("fleet_bench: /proc/self/exe");
        return 1;
    }
    options.self = self;
    if (options.perNetwork < 1 || options.perNetwork > 5000 || options.networks < 1 ||
        options.networks > 10 || options.runs < 1) {
        return Usage();
    }
    return RunOutside(options);
}
