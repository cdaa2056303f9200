// A console run's clock: the wall clock is read once, as the run starts, and every
// later time is that reading plus the monotonic time since, so a run's times never go
// back, whatever is done to the system's clock meanwhile.
#pragma once

#include "calendar/calendar.h"
#include "route/route_check.h"

struct RunClock {
    long long startMs;      // monotonicMs() at the start
    long long startWallMs;  // the wall clock then, in milliseconds since 1970-01-01 UTC
};
void startRunClock(RunClock& clock);
// The wall-clock time that the monotonic `nowMs` stands for, in UTC (offset 0) and in
// local time with the offset from UTC in force at that instant.
void wallClockAt(const RunClock& clock, long long nowMs, WallTime& utc, WallTime& local);
// The route checks' clock for the run of `clock`: the runner's monotonic clock, and each
// event stamped with the wall-clock time that its instant stands for. Its functions
// take no context, so they read the clock given here; a process runs one run.
RouteClock routeClockOf(const RunClock& clock);
