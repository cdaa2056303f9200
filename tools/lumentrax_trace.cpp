// lumentrax-trace: the trace engine on the console. Traces a host with the real echo
// service, runs the trace phase and some monitor rounds, and prints the table in its
// clipboard text form on stdout. --monitor-timeout changes the echo timeout once the
// route is known, as a change in the Options dialog does while the window's trace runs.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console_platform.h"
#include "engine/hop_table.h"
#include "engine/probe_options.h"
#include "lumentrax_version.h"
#include "ui/trace_text.h"

namespace {

constexpr int kMonitorRounds = 10;

struct Options {
    long long steps;  // -1: trace phase and kMonitorRounds monitor rounds
    int32_t maxHops;
    int32_t timeoutMs;
    int32_t monitorTimeoutMs;
    int32_t packetSize;
    int32_t reverseDns;
    const char* host;
};

void printUsage() {
    std::fprintf(stderr,
                 "usage: lumentrax-trace [--steps N] [--max-hops N] [--timeout MS] "
                 "[--monitor-timeout MS] [--size BYTES] [--no-dns] HOST\n"
                 "       lumentrax-trace --version\n");
}

bool parseNumber(const char* text, long long low, long long high, long long& value) {
    if (text == nullptr || text[0] == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

// Reads the value after a numeric option; false on a missing or malformed value.
bool takeNumber(int argc, char** argv, int& i, long long low, long long high, long long& value) {
    if (i + 1 >= argc) return false;
    return parseNumber(argv[++i], low, high, value);
}

bool parseOptions(int argc, char** argv, Options& options) {
    options = Options{-1, kDefaultMaxHops, kDefaultTimeoutMs, kDefaultTimeoutMs,
                      kDefaultPacketSize, kDefaultReverseDns, nullptr};
    bool monitorTimeoutGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        long long value = 0;
        if (std::strcmp(arg, "--no-dns") == 0) {
            options.reverseDns = 0;
        } else if (std::strcmp(arg, "--steps") == 0) {
            if (!takeNumber(argc, argv, i, 0, LLONG_MAX, value)) return false;
            options.steps = value;
        } else if (std::strcmp(arg, "--max-hops") == 0 || std::strcmp(arg, "--timeout") == 0 ||
                   std::strcmp(arg, "--size") == 0) {
            if (!takeNumber(argc, argv, i, INT32_MIN, INT32_MAX, value)) return false;
            int32_t& field = arg[2] == 'm' ? options.maxHops
                             : arg[2] == 't' ? options.timeoutMs : options.packetSize;
            field = static_cast<int32_t>(value);
        } else if (std::strcmp(arg, "--monitor-timeout") == 0) {
            if (!takeNumber(argc, argv, i, INT32_MIN, INT32_MAX, value)) return false;
            options.monitorTimeoutMs = static_cast<int32_t>(value);
            monitorTimeoutGiven = true;
        } else if (arg[0] == '-' || options.host != nullptr) {
            return false;
        } else {
            options.host = arg;
        }
    }
    if (!monitorTimeoutGiven) options.monitorTimeoutMs = options.timeoutMs;
    return options.host != nullptr;
}

// One step; the first one of the monitor phase first switches to the monitor timeout.
void stepWith(HopTable& table, const Options& options, bool& monitoring) {
    if (!monitoring && table.traceComplete()) {
        table.configure(options.maxHops, options.packetSize, options.monitorTimeoutMs,
                        options.reverseDns);
        monitoring = true;
    }
    table.step();
}

// The whole trace phase, then kMonitorRounds rounds over the hops found.
void runDefaultSteps(HopTable& table, const Options& options) {
    bool monitoring = false;
    while (!table.traceComplete()) stepWith(table, options, monitoring);
    const long long monitorSteps = static_cast<long long>(kMonitorRounds) * table.hopCount;
    for (long long i = 0; i < monitorSteps; ++i) stepWith(table, options, monitoring);
}

char traceText[kMaxRecords * kMaxTraceLineLength + 1];
constexpr const char* kCannotWrite = "cannot write the table to standard output: ";

// Prints the one line that says why the run fails; the run then exits with status 1.
int fail(const char* what, const char* reason) {
    std::fprintf(stderr, "lumentrax-trace: %s%s\n", what, reason);
    return 1;
}

// Writes `text` to stdout and flushes it: a table that did not reach its file (a full
// disk, a closed pipe) is a failure, never a run that succeeded.
int emit(const char* text) {
    errno = 0;
    const bool written = std::fputs(text, stdout) != EOF && std::fflush(stdout) == 0 &&
                         std::ferror(stdout) == 0;
    if (written) return 0;
    return fail(kCannotWrite, errno != 0 ? std::strerror(errno) : "write error");
}

// The trace itself, between the network library's start and end: the table is made
// after the start and gone before the end.
int traceAndPrint(const Options& options) {
    HopTable table;
    char reason[kConsoleReasonSize];
    if (options.steps != 0 && !echoServiceUsable(table.pinger, reason)) return fail("", reason);
    table.configure(options.maxHops, options.packetSize, options.timeoutMs, options.reverseDns);
    table.start(options.host);
    if (!table.isRunning()) {
        std::fprintf(stderr, "lumentrax-trace: cannot resolve host \"%s\"\n", options.host);
        return 1;
    }
    if (options.steps < 0) {
        runDefaultSteps(table, options);
    } else {
        bool monitoring = false;
        for (long long i = 0; i < options.steps; ++i) stepWith(table, options, monitoring);
    }
    formatTraceText(table, traceText, sizeof traceText);  // room for every line of a full table
    return emit(traceText);
}

}  // namespace

int main(int argc, char** argv) {
    char reason[kConsoleReasonSize];
    if (!startConsole(reason)) return fail(kCannotWrite, reason);
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::snprintf(traceText, sizeof traceText, "lumentrax-trace %s\n", LUMENTRAX_VERSION_TEXT);
        return emit(traceText);
    }
    Options options;
    if (!parseOptions(argc, argv, options)) {
        printUsage();
        return 2;
    }
    NetworkSession network;
    return traceAndPrint(options);
}
