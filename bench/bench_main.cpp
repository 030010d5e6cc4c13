// tallybell-bench: runs the benchmarks and prints one table. The application runs in host A of
// two network namespaces joined by a veth pair, the peer in host B; every figure stands beside
// the machine's own figure for the same work, measured in the same run.
//
//   tallybell-bench [--only latency,burst,ack,idle,memory,startup,json] [--latency-count N]
//                   [--burst-count N] [--ack-count N] [--idle-seconds N] [--soak-seconds N]
//                   [--startup-runs N]
//
// Exit status: 0 when no measured figure missed its goal, 1 when one did, 2 on bad use or when
// the hosts could not be set up.
#include "bench/runner.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tallybell::bench;

const std::vector<std::pair<const char*, void (*)(Bench&)>> kBenchmarks = {
    {"startup", RunStartup},     {"latency", RunDispatchLatency}, {"burst", RunBurst},
    {"ack", RunAcknowledgement}, {"memory", RunMemory},           {"idle", RunIdleCost},
    {"json", RunJsonParse},
};

bool positive(const char* text, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && out > 0 && out <= 10000000;
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        long value = 0;
        if (name == "--only") {
            std::istringstream names(argv[i + 1]);
            for (std::string one; std::getline(names, one, ',');) {
                options.only.insert(one);
            }
            continue;
        }
        if (!positive(argv[i + 1], value)) {
            return false;
        }
        if (name == "--latency-count") {
            options.latencyCount = int(value);
        } else if (name == "--burst-count") {
            options.burstCount = value;
        } else if (name == "--ack-count") {
            options.ackCount = int(value);
        } else if (name == "--idle-seconds") {
            options.idleSeconds = int(value);
        } else if (name == "--soak-seconds") {
            options.soakSeconds = int(value);
        } else if (name == "--startup-runs") {
            options.startupRuns = int(value);
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: tallybell-bench [--only latency,burst,ack,idle,memory,startup,json]"
                     " [--latency-count N] [--burst-count N] [--ack-count N]"
                     " [--idle-seconds N] [--soak-seconds N] [--startup-runs N]\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN); // a child that died must not take the runner with it
    QCoreApplication qt(argc, argv);
    tallybell::testing::TwoHosts hosts(tallybell::testing::TwoHosts::Layout::TwoChildren);
    if (!hosts.IsReady()) {
        std::fprintf(stderr, "tallybell-bench: %s\n", qPrintable(hosts.Failure()));
        return 2;
    }
    Bench bench(options, hosts);
    if (!bench.Ready()) {
        std::fprintf(stderr, "tallybell-bench: %s\n", bench.Error().c_str());
        return 2;
    }
    for (const auto& [name, run] : kBenchmarks) {
        if (options.only.empty() || options.only.count(name)) {
            run(bench);
        }
    }
    bench.PrintTable();
    return bench.AllMet() ? 0 : 1;
}
