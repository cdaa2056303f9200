// lumentrax-trace: the trace engine on the console. Traces a host with the real echo
// service and prints reports of the hop table on stdout, or into a file that each report
// replaces (the clipboard's tab-separated text, CSV, JSON or the Prometheus text format):
// one when the run ends and, with --every, one each period while it runs. A run ends
// after its steps or its duration, by default after the trace phase and kMonitorRounds
// monitor rounds, or at an interrupt, which also ends the echo under way: the step it cut
// short is taken back, so the report counts only whole echoes. --monitor-timeout changes
// the echo timeout once the route is known, as the Options dialog does while the
// window's trace runs.
// A run longer than the default one checks the route while it monitors, as the window
// does: a check that is due runs in place of a step (and counts as none), and a
// confirmed change rewrites the table, so reports give the route as it is now and the
// changes of the run.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "console_platform.h"
#include "run_clock.h"
#include "engine/hop_table.h"
#include "lumentrax_version.h"
#include "report_forms.h"
#include "report_output.h"
#include "route/route_check.h"
#include "text/bounded_text.h"
#include "trace_options.h"

namespace {

constexpr int kMonitorRounds = 10;

// Where a run stands between steps.
struct RunState {
    RunClock clock;
    RouteClock routeClock;
    long long nextReportMs;
    long long steps;
    long long monitorSteps;  // steps taken once the trace phase was complete
    bool monitoring;         // the monitor timeout is in force (the route is known)
    ReportFacts facts;
};

char reportText[kMaxReportLength];
HopFigures figures;
// The route checks' evidence and what they confirmed, and the changes as reports give them.
RouteWatch routeWatch;
RouteHistory routeHistory;
static_assert(kMaxReportRouteChanges >= kRouteHistoryCapacity, "a report has room for every change kept");
ReportRouteChange routeChanges[kMaxReportRouteChanges];
constexpr const char* kCannotWrite = "cannot write the report to standard output: ";

// Prints one line on stderr. The host and paths it names are the command line's bytes:
// a line break or a terminal's escape among them is shown as in the table, so the line
// stays one and says only what it says.
void say(const char* format, ...) {
    static char line[8192];  // room for the longest path a system takes, and why
    static char printable[sizeof line];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    copyPrintable(printable, line);
    std::fprintf(stderr, "lumentrax-trace: %s\n", printable);
}

// Prints the one line that says why the run fails; the run then exits with status 1.
int fail(const char* what, const char* reason) {
    say("%s%s", what, reason);
    return 1;
}

// Writes `text` to stdout and flushes it: a report that did not reach its file (a full
// disk, a closed pipe) is a failure, never a run that succeeded.
int emit(const char* text) {
    errno = 0;
    const bool written = std::fputs(text, stdout) != EOF && std::fflush(stdout) == 0 &&
                         std::ferror(stdout) == 0;
    if (written) return 0;
    return fail(kCannotWrite, errno != 0 ? std::strerror(errno) : "write error");
}

int hopsIn(const HopTable& table) {
    const int count = table.hopCount < 0 ? 0 : table.hopCount;
    return count > kMaxRecords ? kMaxRecords : count;
}

// Writes the report to --output's file, replacing it, or to standard output.
int deliver(const TraceOptions& options, const char* text) {
    if (options.outputPath == nullptr) return emit(text);
    char reason[kConsoleReasonSize];
    if (replaceFile(options.outputPath, text, std::strlen(text), reason)) return 0;
    say("cannot write the report to %s: %s", options.outputPath, reason);
    return 1;
}

// The confirmed changes that the history keeps, oldest first, and the count of all.
void takeRouteChanges(ReportFacts& facts) {
    int32_t count = 0;
    for (int32_t age = routeHistory.count() - 1; age >= 0; --age) {
        const RouteEvent& event = routeHistory.newest(age);
        if (event.kind != RouteEventKind::kChanged) continue;
        ReportRouteChange& change = routeChanges[count++];
        change.timeUtc = event.stamp.utc;
        change.hop = event.hop;
        copyBounded(change.from, event.before.addressText);
        copyBounded(change.to, event.after.addressText);
    }
    facts.routeChanges = routeChanges;
    facts.routeChangeCount = count;
    facts.routeChangesTotal = routeHistory.changes;
}

// The report of the table as it stands, stamped with the time it is taken. A CSV header
// heads the run's first report, or each one when each replaces a file.
int report(const HopTable& table, const TraceOptions& options, RunState& run, bool final) {
    takeRouteChanges(run.facts);
    const long long nowMs = monotonicMs();
    wallClockAt(run.clock, nowMs, run.facts.endUtc, run.facts.endLocal);
    run.facts.elapsedMs = nowMs - run.clock.startMs;
    ++run.facts.seq;
    run.facts.final = final;
    run.facts.csvHeader = !options.noHeader && (run.facts.seq == 1 || options.outputPath != nullptr);
    if (!formatReport(options.format, run.facts, table.records, hopsIn(table), figures, reportText,
                      sizeof reportText)) {
        return fail("cannot write the report: ", "it does not fit its buffer");
    }
    figures.startInterval();
    return deliver(options, reportText);
}

// True once the run has done what its options ask for.
bool runComplete(const HopTable& table, const TraceOptions& options, const RunState& run, long long nowMs) {
    if (options.steps >= 0 && run.steps >= options.steps) return true;
    if (options.durationMs > 0) return nowMs - run.clock.startMs >= options.durationMs;
    if (options.steps >= 0) return false;
    return table.traceComplete() && run.monitorSteps >= static_cast<long long>(kMonitorRounds) * table.hopCount;
}

// What a step may change: the trace phase writes the record after the last hop found,
// the monitor phase the one at its cursor (the first, once the cursor has run past the
// last hop), and each moves on its count or cursor.
struct StepUndo {
    int32_t hopCount;
    int32_t pingCursor;
    int index;
    HopRecord record;
};

void keepForUndo(const HopTable& table, bool traceDone, StepUndo& undo) {
    undo.hopCount = table.hopCount;
    undo.pingCursor = table.pingCursor;
    const bool cursorInRange = table.pingCursor >= 0 && table.pingCursor < table.hopCount;
    undo.index = !traceDone ? table.hopCount : cursorInRange ? table.pingCursor : 0;
    if (undo.index >= 0 && undo.index < kMaxRecords) undo.record = table.records[undo.index];
}

void undoStep(HopTable& table, const StepUndo& undo) {
    table.hopCount = undo.hopCount;
    table.pingCursor = undo.pingCursor;
    if (undo.index >= 0 && undo.index < kMaxRecords) table.records[undo.index] = undo.record;
}

// Once the route is known, the monitor timeout holds, for steps and route checks alike;
// when a route change has discovery go on past the old target, the trace's timeout holds
// again until the route is known once more.
void followPhase(HopTable& table, const TraceOptions& options, RunState& run) {
    const bool complete = table.traceComplete();
    if (run.monitoring == complete) return;
    table.configure(options.maxHops, options.packetSize, complete ? options.monitorTimeoutMs : options.timeoutMs,
                    options.reverseDns);
    run.monitoring = complete;
}

// One step. A step whose echo an interrupt cut short is taken back: neither sent nor a
// silent hop.
void stepWith(HopTable& table, RunState& run) {
    const bool traceDone = table.traceComplete();
    StepUndo undo;
    keepForUndo(table, traceDone, undo);
    table.step();
    if (table.pinger.cutShort != 0) {
        undoStep(table, undo);
        return;
    }
    figures.feed(table.records, hopsIn(table));
    ++run.steps;
    if (traceDone) ++run.monitorSteps;
}

// The route check that is due, if one is; false when none was. A check cut short by an
// interrupt saw nothing, which is no evidence.
bool checkRouteWith(HopTable& table, RunState& run) {
    const RouteCheckOutcome check = checkRoute(table, routeWatch, routeHistory, run.routeClock);
    // A confirmed change rewrote a row: its figures start afresh, as reports show the row.
    if (check.verdict == RouteVerdict::kChanged) figures.feed(table.records, hopsIn(table));
    return check.checked;
}

// Steps until the run is complete or interrupted, with a report each period on the way;
// between steps nothing waits, so a run by time keeps stepping (or checking its route).
// A step cut short is always one the run is interrupted in.
int runSteps(HopTable& table, const TraceOptions& options, RunState& run) {
    for (;;) {
        const long long nowMs = monotonicMs();
        if (interruptRequested() || runComplete(table, options, run, nowMs)) return 0;
        if (options.everyMs > 0 && nowMs >= run.nextReportMs) {
            if (report(table, options, run, false) != 0) return 1;
            while (run.nextReportMs <= nowMs) run.nextReportMs += options.everyMs;
        }
        followPhase(table, options, run);
        if (!options.routeChecks || !checkRouteWith(table, run)) stepWith(table, run);
    }
}

int32_t heldWithin(int32_t value, int32_t low, int32_t high) {
    return value < low ? low : value > high ? high : value;
}

// The run's facts for its reports, and its start on both clocks. The options are given
// as the engine applies them (a hop limit within its table, a timeout within its longest,
// a size within one echo's), so a report never claims what did not run.
void beginRun(const TraceOptions& options, RunState& run) {
    const uint32_t size = static_cast<uint32_t>(options.packetSize);
    run.facts = ReportFacts{};
    run.facts.maxHops = heldWithin(options.maxHops, 0, kMaxTimeToLive);
    run.facts.timeoutMs = heldWithin(options.timeoutMs, 1, HopTable::kMaxTimeoutMs);
    run.facts.monitorTimeoutMs = heldWithin(options.monitorTimeoutMs, 1, HopTable::kMaxTimeoutMs);
    run.facts.packetSize = static_cast<int32_t>(size > kEchoDataMax ? kEchoDataMax : size);
    run.facts.reverseDns = options.reverseDns;
    run.facts.stamped = options.everyMs > 0;
    run.facts.routeChecks = options.routeChecks;
    copyBounded(run.facts.target, options.host);
    copyBounded(run.facts.version, LUMENTRAX_VERSION_TEXT);
    readMachineName(run.facts.host);
    startRunClock(run.clock);
    run.routeClock = routeClockOf(run.clock);
    WallTime startLocal;
    wallClockAt(run.clock, run.clock.startMs, run.facts.startUtc, startLocal);
    run.nextReportMs = run.clock.startMs + options.everyMs;
}

// The trace itself, between the network library's start and end: the table is made
// after the start and gone before the end. The host is resolved here, so that both
// systems' runners resolve the same names, and handed to the table as its address.
int traceAndReport(const TraceOptions& options) {
    HopTable table;
    char reason[kConsoleReasonSize];
    if (options.steps != 0 && !echoServiceUsable(table.pinger, reason)) return fail("", reason);
    letInterruptsEndEchoes(table.pinger);
    RunState run{};
    beginRun(options, run);
    table.configure(options.maxHops, options.packetSize, options.timeoutMs, options.reverseDns);
    const uint32_t target = resolveHost(table.pinger, options.host);
    table.pinger.formatAddress(run.facts.address, target);
    if (target != 0) table.start(run.facts.address);
    if (!table.isRunning()) {
        say("cannot resolve host \"%s\"", options.host);
        return 1;
    }
    if (runSteps(table, options, run) != 0) return 1;
    return report(table, options, run, true);
}

}  // namespace

int main(int argc, char** argv) {
    // The command line is read first: a wrong one needs no standard output.
    takeUtf8Arguments(argc, argv);
    TraceOptions options;
    char error[kUsageErrorSize];
    if (!parseTraceOptions(argc, argv, options, error)) {
        say("%s", error);
        std::fputs(kTraceUsage, stderr);
        return 2;
    }
    char reason[kConsoleReasonSize];
    if (!startConsole(reason)) return fail(kCannotWrite, reason);
    if (options.help) return emit(kTraceUsage);
    if (options.version) {
        std::snprintf(reportText, sizeof reportText, "lumentrax-trace %s\n", LUMENTRAX_VERSION_TEXT);
        return emit(reportText);
    }
    watchInterrupts();
    NetworkSession network;
    return traceAndReport(options);
}
