// A due route check through the table's echo service.
#include "route/route_check.h"

RouteCheckOutcome checkRoute(HopTable& table, RouteWatch& watch, RouteHistory& history, const RouteClock& clock) {
    const int64_t startedMs = clock.monotonicMs();
    const int32_t hop = watch.dueHop(table, startedMs);
    if (hop < 0) return RouteCheckOutcome{false, -1, RouteVerdict::kNone};
    EchoResult reply{};
    const bool answered = table.pinger.echo(table.target, hop + 1, static_cast<int32_t>(table.packetSize),
                                            table.effectiveTimeoutMs(), reply) != 0;
    const int64_t endedMs = clock.monotonicMs();
    const RouteFinding finding = watch.observe(table, hop, answered, reply, startedMs, endedMs);
    if (finding.verdict == RouteVerdict::kChanged) {
        const HopRecord before = table.records[hop];
        table.rewriteRoute(hop, finding.reply);
        history.addChange(clock.stampOf(endedMs), hop + 1, before, table.records[hop]);
    } else if (finding.verdict == RouteVerdict::kBalanced) {
        history.noteBalanced(clock.stampOf(endedMs), hop + 1, table.records[hop], watch.hops[hop]);
    }
    return RouteCheckOutcome{true, hop, finding.verdict};
}
