// One route check, run by the window's idle tick or the console runner in place of an
// engine step when one is due: the echo goes through the table's own echo service, the
// watch decides, a confirmed change rewrites the table's rows through its one operation
// for that, and the history keeps what happened.
#pragma once

#include <cstdint>

#include "engine/hop_table.h"
#include "route/route_history.h"
#include "route/route_watch.h"

// The caller's clocks: a monotonic one in milliseconds, and the stamp of one of its
// instants (local time, UTC and the instant itself).
struct RouteClock {
    int64_t (*monotonicMs)();
    RouteStamp (*stampOf)(int64_t monotonicMs);
};

struct RouteCheckOutcome {
    bool checked;      // a check was due and sent its echo
    int32_t hopIndex;  // the hop it checked (0-based)
    RouteVerdict verdict;
};

// Sends the check that is due, if any, and applies what it confirmed. Blocks for that
// one echo at most (and, after a change, the new router's reverse lookup).
RouteCheckOutcome checkRoute(HopTable& table, RouteWatch& watch, RouteHistory& history, const RouteClock& clock);
