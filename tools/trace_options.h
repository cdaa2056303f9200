// lumentrax-trace's command line: the options a run takes, read from argv without any
// platform call, and the one line that names a wrong argument and why.
#pragma once

#include <cstdint>

#include "report_forms.h"

struct TraceOptions {
    long long steps;       // -1: no limit of steps
    long long durationMs;  // 0: no limit of time
    long long everyMs;     // 0: one report, at the end
    int32_t maxHops;
    int32_t timeoutMs;
    int32_t monitorTimeoutMs;
    int32_t packetSize;
    int32_t reverseDns;
    ReportFormat format;
    bool noHeader;           // --no-header: CSV reports without their header row
    const char* outputPath;  // --output FILE: each report replaces FILE; null: standard output
    const char* host;
    // The route is checked while the run monitors: a run longer than the default one
    // (by --steps, --duration or --every) unless --no-route-checks forbids it.
    bool routeChecks;
    bool help;     // --help: the usage on standard output
    bool version;  // --version alone
};

constexpr int kUsageErrorSize = 512;

extern const char kTraceUsage[];

// False, with `error` naming the argument at fault and why, for a wrong command line.
bool parseTraceOptions(int argc, char** argv, TraceOptions& options,
                       char (&error)[kUsageErrorSize]);
