// SPDX-License-Identifier: GPL-3.0-or-later
// rotor-bench: the benchmarks, one sub-command each. Standard output holds only the rows of the
// results table (Markdown); what happens along the way goes to standard error.
//
//   rotor-bench info
//   rotor-bench cpu-wait        [--runs N]
//   rotor-bench cpu-monitor     [--runs N] [--seconds S]   (default 10 s)
//   rotor-bench line-time       [--runs N]
//   rotor-bench monitor-rate    [--seconds S]              (default 60 s; runs once)
//   rotor-bench listing-append  [--runs N]
//   rotor-bench open-close      [--runs N]
//   rotor-bench network         [--seconds S]              (default 60 s for each load)
//   rotor-bench click-wait      [--seconds S]              (default 20 s)

#include "bench_support.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <map>

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: rotor-bench info | cpu-wait | cpu-monitor | line-time | monitor-rate | listing-append | "
                 "open-close | network | click-wait [--runs N] [--seconds S]\n");
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 2) {
        usage();
        return 2;
    }
    const std::string command = argv[1];
    BenchOptions options;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            options.runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            options.seconds = std::atof(argv[++i]);
        else {
            usage();
            return 2;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rotor"));

    if (command == "info") {
        std::printf("Qt %s (built against %s)\n", qVersion(), QT_VERSION_STR);
        return 0;
    }
    const std::map<std::string, int (*)(const BenchOptions&)> benchmarks{
        {"cpu-wait", benchCpuWait},         {"cpu-monitor", benchCpuMonitor},       {"line-time", benchLineTime},
        {"monitor-rate", benchMonitorRate}, {"listing-append", benchListingAppend}, {"open-close", benchOpenClose},
        {"network", benchNetwork},          {"click-wait", benchClickWait},
    };
    const auto found = benchmarks.find(command);
    if (found == benchmarks.end()) {
        usage();
        return 2;
    }
    return found->second(options);
}
