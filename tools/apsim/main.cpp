// apsim: simulated access points on a real UDP socket, for the lab's network namespaces.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/apsim/EventLog.h"
#include "tools/apsim/FleetFile.h"
#include "tools/apsim/LabNamespace.h"
#include "tools/apsim/Simulator.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: apsim --fleet FILE [--network NAME] [--log FILE]\n"
    "       apsim --ap JSON [--ap JSON]... [--log FILE]\n"
    "       apsim --check FILE\n"
    "       apsim --list-networks FILE\n"
    "\n"
    "Simulates access points on UDP port 34442: answers discovery, configuration and reset\n"
    "requests as the access points of the fleet would. It serves the access points of one\n"
    "network (--network, default the fleet's first) and must run inside a lab network\n"
    "namespace (scripts/lab), never in the machine's own; it refuses to.\n"
    "\n"
    "  --fleet FILE         the fleet, a JSON file (networks, defaults, accessPoints)\n"
    "  --ap JSON            one access point as a JSON object, e.g.\n"
    "                       "
    "'{\"name\":\"Lobby\",\"mac\":\"000A1B2C3D4E\",\"address\":\"10.0.0.5\"}'\n"
    "  --network NAME       serve the access points placed on this network\n"
    "  --log FILE           append the event log (JSON lines) to FILE; default standard output\n"
    "  --check FILE         validate a fleet file and summarise it; sends nothing\n"
    "  --list-networks FILE print each network as NAME ADDRESS/PREFIX; sends nothing\n"
    "\n"
    "Exit status: 0 stopped by a signal or check passed, 1 invalid fleet or socket failure,\n"
    "2 usage error.\n";

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "apsim: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

void PrintSummary(const apsim::Fleet& fleet) {
    for (const apsim::LabNetwork& network : fleet.networks) {
        const auto accessPoints = apsim::AccessPointsOn(fleet, network.name);
        std::printf("network %s: host %s/%d, %zu access point(s)\n", network.name.c_str(),
                    apsim::FormatAddress(network.hostAddress).c_str(), network.prefixLength,
                    accessPoints.size());
    }
}

struct Options {
    std::string fleetPath;
    std::string network;
    std::string logPath;
    std::string checkPath;
    std::string listPath;
    std::vector<std::string> accessPointOptions;
};

constexpr int kParsed = -1;

// kParsed when the options are read into `options`; otherwise the exit status, after the help
// or a usage error.
int ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            return UsageError(option.rfind("--", 0) == 0 ? option + " needs a value"
                                                         : "unexpected argument " + option);
        }
        const std::string value = argv[++i];
        if (option == "--fleet") {
            options->fleetPath = value;
        } else if (option == "--network") {
            options->network = value;
        } else if (option == "--log") {
            options->logPath = value;
        } else if (option == "--ap") {
            options->accessPointOptions.push_back(value);
        } else if (option == "--check") {
            options->checkPath = value;
        } else if (option == "--list-networks") {
            options->listPath = value;
        } else {
            return UsageError("unknown option " + option);
        }
    }
    return kParsed;
}

int Failure(const std::string& error) {
    std::fprintf(stderr, "apsim: %s\n", error.c_str());
    return kExitFailure;
}

// --check and --list-networks: they read a fleet file and send nothing.
int CheckOrList(const Options& options) {
    std::string error;
    apsim::Fleet fleet;
    if (!apsim::LoadFleetFile(options.checkPath.empty() ? options.listPath : options.checkPath,
                              &fleet, &error)) {
        return Failure(error);
    }
    if (!options.checkPath.empty()) {
        PrintSummary(fleet);
    } else {
        for (const apsim::LabNetwork& entry : fleet.networks) {
            std::printf("%s %s/%d\n", entry.name.c_str(),
                        apsim::FormatAddress(entry.hostAddress).c_str(), entry.prefixLength);
        }
    }
    return 0;
}

// The stop signals stay blocked except while the simulator waits, so none slips in between its
// check of the flag and the wait.
void BlockStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&stopSignals, signal);
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigaction(signal, &action, nullptr);
    }
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
}

// Plays the access points of one network of the fleet until a stop signal.
int Serve(const Options& options) {
    std::string error;
    apsim::Fleet fleet;
    if (!options.fleetPath.empty() && !apsim::LoadFleetFile(options.fleetPath, &fleet, &error)) {
        return Failure(error);
    }
    for (const std::string& text : options.accessPointOptions) {
        if (!apsim::AddAccessPointFromJson(text, &fleet, &error)) {
            return Failure(error);
        }
    }
    std::string network = options.network;
    if (network.empty()) {
        network = fleet.networks.front().name;
    } else if (apsim::FindNetwork(fleet, network) == nullptr) {
        return UsageError("--network: the fleet has no network named \"" + network + "\"");
    }
    if (!apsim::InLabNamespace(&error)) {
        return Failure(error);
    }
    BlockStopSignals();
    apsim::EventLog log;
    if (!log.Open(options.logPath, &error)) {
        return Failure(error);
    }
    apsim::Simulator simulator(network, apsim::AccessPointsOn(fleet, network), &log,
                               apsim::JunkIntervalsOn(fleet, network));
    if (!simulator.Open(&error) || !simulator.Run(&g_stop, &error)) {
        return Failure(error);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    const int parsed = ParseOptions(argc, argv, &options);
    if (parsed != kParsed) {
        return parsed;
    }
    if (!options.checkPath.empty() || !options.listPath.empty()) {
        return CheckOrList(options);
    }
    if (options.fleetPath.empty() && options.accessPointOptions.empty()) {
        return UsageError("give --fleet FILE or --ap JSON");
    }
    return Serve(options);
}
