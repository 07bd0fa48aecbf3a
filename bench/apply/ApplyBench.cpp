// apply_bench: `apctl apply --parallel --jobs N` on plans over two networks in the lab.
//
// For each plan size (6, 100 and 1,000 rows by default, half on each network) and each N (1, 16,
// 64, 256), brings the lab up with that many access points (each restarts 2 s after its reset,
// as the simulator plays it), applies a plan that moves every one of them, and prints the wall
// time, the configuration and reset requests per row as the simulators logged them, the time
// from the first of those requests to the last acknowledgement, and apctl's peak resident
// memory. One row with --jobs 1 is the yardstick of the 6-row target. --jobs 1 runs only on plans
// of at most --serial-rows rows (6 by default): each row then costs about 10 s, so 1,000 rows
// would take hours. Needs root (the lab).

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/support/BenchLab.h"
#include "bench/support/FleetBuilder.h"
#include "bench/support/LabBench.h"

namespace {

constexpr char kLabId[] = "benchapl";
constexpr double kLargePlanTarget = 30.0;  // seconds for 1,000 rows with --jobs 256
constexpr double kSmallPlanRatio = 1.5;    // 6 rows with --jobs 6 against one row
// An acknowledgement carries the MAC alone; every discovery reply is far longer.
constexpr int kLongestAcknowledgement = 40;

struct Options {
    std::vector<int> sizes = {6, 100, 1000};
    std::vector<int> jobs = {1, 16, 64, 256};
    int serialRows = 6;
    std::string lab = AP_LAB_SCRIPT;
    std::string apsim = AP_APSIM;
    std::string apctl = AP_APCTL;
};

std::string Mac(int network, int index) {
    char text[32];
    std::snprintf(text, sizeof text, "02AD%04X%04X", static_cast<unsigned>(network) & 0xFFFF,
                  static_cast<unsigned>(index) & 0xFFFF);
    return text;
}

std::string Address(int network, int block, int index) {
    return "10." + std::to_string(network) + "." + std::to_string(block + index / 200) + "." +
           std::to_string(1 + index % 200);
}

// `rows` access points, alternately on lan0 and lan1, each restarting 2 s after its reset.
bench::Fleet MakeFleet(int rows) {
    bench::Fleet fleet;
    fleet.networks = 2;
    fleet.defaults = QJsonObject{{"silentAfterResetMs", 2000}, {"firmware", "0104"}};
    for (int row = 0; row < rows; ++row) {
        const int network = row % 2;
        const int index = row / 2;
        fleet.accessPoints.push_back({.name = "AP-" + std::to_string(row),
                                      .mac = Mac(network, index),
                                      .network = network,
                                      .address = Address(network, 1, index),
                                      .fields = {}});
    }
    return fleet;
}

// The plan moving each access point of the fleet to another block of its network.
void WritePlan(const bench::Fleet& fleet, const std::string& planPath) {
    std::ofstream plan(planPath);
    plan << "mac,mode,ip,mask,gateway,dns\n";
    for (std::size_t row = 0; row < fleet.accessPoints.size(); ++row) {
        const bench::FleetAccessPoint& accessPoint = fleet.accessPoints[row];
        const std::string network = std::to_string(accessPoint.network);
        plan << accessPoint.mac << ",fixed,"
             << Address(accessPoint.network, 10, static_cast<int>(row / 2)) << ",255.255.0.0,10."
             << network << ".0.1,10." << network << ".0.1\n";
    }
}

struct Run {
    bool ok = false;
    int rows = 0, jobs = 0;
    bench::Measured measured;
    int requests = 0;         // configuration and reset requests heard
    double firstRequest = 0;  // of those, monotonic
    double lastAcknowledgement = 0;
};

// Reads both simulators' logs within apctl's run.
void ReadLogs(const std::string& logDirectory, Run* run) {
    run->firstRequest = run->measured.exitMono;
    for (const char* network : {"lan0", "lan1"}) {
        QFile file(QString::fromStdString(logDirectory + "/" + network + ".jsonl"));
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        while (!file.atEnd()) {
            const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
            const double mono = line.value("mono").toDouble();
            if (mono < run->measured.startMono || mono > run->measured.exitMono) {
                continue;
            }
            const QString event = line.value("event").toString();
            const QString kind = line.value("kind").toString();
            if (event == "request" && (kind == "set-ip-configuration" || kind == "reset")) {
                ++run->requests;
                run->firstRequest = std::min(run->firstRequest, mono);
            } else if (event == "reply" && line.value("length").toInt() < kLongestAcknowledgement) {
                run->lastAcknowledgement = std::max(run->lastAcknowledgement, mono);
            }
        }
    }
}

Run ApplyOnce(const Options& options, int rows, int jobs) {
    Run run;
    run.rows = rows;
    run.jobs = jobs;
    const bench::Fleet fleet = MakeFleet(rows);
    bench::BenchLab lab(options.lab, kLabId, options.apsim);
    if (!lab.Up(fleet, "apply_bench")) {
        return run;
    }
    const std::string planPath = lab.directory() + "/plan.csv";
    WritePlan(fleet, planPath);
    // apctl's progress, a line per row, goes to a file rather than among the figures.
    bench::Measure({options.lab, "--id", kLabId, "exec", "--", "sh", "-c",
                    "exec \"$0\" \"$@\" 2>>" + lab.directory() + "/progress.txt", options.apctl,
                    "apply", planPath, "--parallel", "--jobs", std::to_string(jobs)},
                   &run.measured);
    ReadLogs(lab.logDirectory(), &run);
    run.ok = run.measured.exitStatus == 0;
    if (!run.ok) {
        std::fprintf(stderr, "apply_bench: apply of %d rows with --jobs %d exited %d\n", rows, jobs,
                     run.measured.exitStatus);
    }
    return run;
}

double Wall(const Run& run) {
    return run.measured.exitMono - run.measured.startMono;
}

void Print(const Run& run) {
    std::printf("| %5d | %4d | %8.1f s | %5.2f | %8.1f s | %6.1f MB |%s\n", run.rows, run.jobs,
                Wall(run), static_cast<double>(run.requests) / run.rows,
                run.lastAcknowledgement - run.firstRequest,
                static_cast<double>(run.measured.peakKilobytes) / 1024.0, run.ok ? "" : " FAILED");
    std::fflush(stdout);
}

int Benchmark(const Options& options) {
    if (!bench::ReadyForTheLab("apply_bench")) {
        return 1;
    }
    std::printf("apply benchmark: apctl apply --parallel --jobs N, two networks\nmachine: %s\n\n",
                bench::MachineText().c_str());
    std::printf(
        "|  rows | jobs |      wall | requests/row | first request to last ack | peak RSS |\n"
        "| ---: | ---: | ---: | ---: | ---: | ---: |\n");
    bool allOk = true;
    const Run one = ApplyOnce(options, 1, 1);
    Print(one);
    double six = -1, large = -1;
    for (const int rows : options.sizes) {
        for (const int jobs : options.jobs) {
            if (jobs == 1 && rows > options.serialRows) {
                continue;
            }
            const Run run = ApplyOnce(options, rows, jobs);
            Print(run);
            allOk = allOk && run.ok;
            large = rows == 1000 && jobs == 256 ? Wall(run) : large;
        }
    }
    if (std::find(options.sizes.begin(), options.sizes.end(), 6) != options.sizes.end()) {
        const Run run = ApplyOnce(options, 6, 6);
        Print(run);
        six = Wall(run);
    }
    const auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
    if (six > 0) {
        std::printf("\n6 rows --jobs 6 / 1 row: %.2f (target <= %.1f) %s\n", six / Wall(one),
                    kSmallPlanRatio, verdict(six / Wall(one) <= kSmallPlanRatio));
    }
    if (large > 0) {
        std::printf("1,000 rows --jobs 256: %.1f s (target < %.0f s) %s\n", large, kLargePlanTarget,
                    verdict(large < kLargePlanTarget));
    }
    return allOk && one.ok ? 0 : 1;
}

std::vector<int> Numbers(const std::string& text) {
    std::vector<int> numbers;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        numbers.push_back(static_cast<int>(std::strtol(item.c_str(), nullptr, 10)));
    }
    return numbers;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: apply_bench [--sizes 6,100,1000] [--jobs 1,16,64,256] [--serial-rows 6]\n"
                 "                   [--lab PATH] [--apsim PATH] [--apctl PATH]\n"
                 "Runs as root.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--sizes") {
            options.sizes = Numbers(value);
        } else if (option == "--jobs") {
            options.jobs = Numbers(value);
        } else if (option == "--serial-rows") {
            options.serialRows = static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
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
    const auto valid = [](int n, int most) { return n >= 1 && n <= most; };
    if (argc % 2 == 0 || options.sizes.empty() || options.jobs.empty() ||
        !std::all_of(options.sizes.begin(), options.sizes.end(),
                     [&](int n) { return valid(n, 4000); }) ||
        !std::all_of(options.jobs.begin(), options.jobs.end(),
                     [&](int n) { return valid(n, 256); })) {
        return Usage();
    }
    return Benchmark(options);
}
