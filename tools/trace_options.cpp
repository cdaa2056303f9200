// Reading lumentrax-trace's command line.
#include "trace_options.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/probe_options.h"

const char kTraceUsage[] =
    "usage: lumentrax-trace [--steps N] [--duration SECONDS] [--every SECONDS]\n"
    "                       [--format tsv|csv|json|prometheus] [--no-header]\n"
    "                       [--output FILE] [--max-hops N] [--timeout MS]\n"
    "                       [--monitor-timeout MS] [--size BYTES] [--no-dns]\n"
    "                       [--no-route-checks] HOST\n"
    "       lumentrax-trace --version | --help\n";

namespace {

// Longest --duration or --every: a year, so that milliseconds never overflow.
constexpr long long kMaxSeconds = 366LL * 24 * 60 * 60;

// The argument list as it is walked, and where the first fault is described.
struct ArgumentReader {
    int argc;
    char** argv;
    int next;
    char (&error)[kUsageErrorSize];

    bool fault(const char* format, const char* a, const char* b = "") {
        std::snprintf(error, sizeof error, format, a, b);
        return false;
    }

    bool outOfRange(const char* option, const char* text, long long low, long long high) {
        std::snprintf(error, sizeof error, "%s %s: out of range (%lld to %lld)", option, text, low, high);
        return false;
    }

    // The whole value after `option` as a number within low..high.
    bool number(const char* option, long long low, long long high, long long& value) {
        if (next >= argc) return fault("%s needs a value", option);
        const char* text = argv[next++];
        char* end = nullptr;
        errno = 0;
        const long long parsed = std::strtoll(text, &end, 10);
        if (text[0] == '\0' || *end != '\0') return fault("%s \"%s\": not a whole number", option, text);
        if (errno != 0 || parsed < low || parsed > high) return outOfRange(option, text, low, high);
        value = parsed;
        return true;
    }

    bool int32(const char* option, int32_t& field) {
        long long value = 0;
        if (!number(option, INT32_MIN, INT32_MAX, value)) return false;
        field = static_cast<int32_t>(value);
        return true;
    }

    bool seconds(const char* option, long long& fieldMs) {
        const char* text = next < argc ? argv[next] : "";
        long long value = 0;
        if (!number(option, LLONG_MIN, LLONG_MAX, value)) {
            // Beyond 64 bits: the range that counts is that of seconds, not of the parse.
            return errno == ERANGE ? outOfRange(option, text, 1, kMaxSeconds) : false;
        }
        if (value <= 0) return fault("%s %s: not a positive number of seconds", option, text);
        if (value > kMaxSeconds) return outOfRange(option, text, 1, kMaxSeconds);
        fieldMs = value * 1000;
        return true;
    }

    bool path(const char* option, const char*& field) {
        if (next >= argc) return fault("%s needs a value", option);
        field = argv[next++];
        if (field[0] == '\0') return fault("%s \"\": an empty path", option);
        return true;
    }

    bool format(ReportFormat& field) {
        if (next >= argc) return fault("%s needs a value", "--format");
        const char* text = argv[next++];
        if (std::strcmp(text, "tsv") == 0) field = ReportFormat::kTsv;
        else if (std::strcmp(text, "csv") == 0) field = ReportFormat::kCsv;
        else if (std::strcmp(text, "json") == 0) field = ReportFormat::kJson;
        else if (std::strcmp(text, "prometheus") == 0) field = ReportFormat::kPrometheus;
        else return fault("--format \"%s\": not tsv, csv, json or prometheus", text);
        return true;
    }
};

// One option or operand; false on a fault.
bool readArgument(ArgumentReader& in, TraceOptions& options, bool& monitorTimeoutGiven, bool& noRouteChecks) {
    const char* arg = in.argv[in.next++];
    if (std::strcmp(arg, "--help") == 0) options.help = true;
    else if (std::strcmp(arg, "--no-dns") == 0) options.reverseDns = 0;
    else if (std::strcmp(arg, "--no-route-checks") == 0) noRouteChecks = true;
    else if (std::strcmp(arg, "--no-header") == 0) options.noHeader = true;
    else if (std::strcmp(arg, "--output") == 0) return in.path(arg, options.outputPath);
    else if (std::strcmp(arg, "--steps") == 0) return in.number(arg, 0, LLONG_MAX, options.steps);
    else if (std::strcmp(arg, "--duration") == 0) return in.seconds(arg, options.durationMs);
    else if (std::strcmp(arg, "--every") == 0) return in.seconds(arg, options.everyMs);
    else if (std::strcmp(arg, "--format") == 0) return in.format(options.format);
    else if (std::strcmp(arg, "--max-hops") == 0) return in.int32(arg, options.maxHops);
    else if (std::strcmp(arg, "--timeout") == 0) return in.int32(arg, options.timeoutMs);
    else if (std::strcmp(arg, "--size") == 0) return in.int32(arg, options.packetSize);
    else if (std::strcmp(arg, "--monitor-timeout") == 0) {
        monitorTimeoutGiven = true;
        return in.int32(arg, options.monitorTimeoutMs);
    } else if (std::strcmp(arg, "--version") == 0) {
        if (in.argc != 2) return in.fault("%s takes no other argument", arg);
        options.version = true;
    } else if (arg[0] == '-') {
        return in.fault("unknown option %s", arg);
    } else if (options.host != nullptr) {
        return in.fault("extra operand %s (the host is %s)", arg, options.host);
    } else {
        options.host = arg;
    }
    return true;
}

}  // namespace

bool parseTraceOptions(int argc, char** argv, TraceOptions& options,
                       char (&error)[kUsageErrorSize]) {
    options = TraceOptions{-1, 0, 0, kDefaultMaxHops, kDefaultTimeoutMs, kDefaultTimeoutMs,
                           kDefaultPacketSize, kDefaultReverseDns, ReportFormat::kTsv, false, nullptr,
                           nullptr, false, false, false};
    error[0] = '\0';
    ArgumentReader in{argc, argv, 1, error};
    bool monitorTimeoutGiven = false;
    bool noRouteChecks = false;
    while (in.next < argc && !options.help) {
        if (!readArgument(in, options, monitorTimeoutGiven, noRouteChecks)) return false;
    }
    if (!monitorTimeoutGiven) options.monitorTimeoutMs = options.timeoutMs;
    // The default run sends what it always sent: the trace and ten monitor rounds.
    options.routeChecks = !noRouteChecks && (options.steps >= 0 || options.durationMs > 0 || options.everyMs > 0);
    if (options.help || options.version) return true;
    if (options.host == nullptr) return in.fault("%s", "no host given");
    return true;
}
