// The console run's clock, through the one calendar and the platform's clocks.
#include "tools/run_clock.h"

#include "calendar/system_clock.h"
#include "tools/console_platform.h"

namespace {

const RunClock* routeRunClock = nullptr;

int64_t routeMonotonicMs() { return monotonicMs(); }

RouteStamp routeStampOf(int64_t monotonic) {
    RouteStamp stamp{};
    stamp.monotonicMs = monotonic;
    if (routeRunClock != nullptr) wallClockAt(*routeRunClock, monotonic, stamp.utc, stamp.local);
    return stamp;
}

}  // namespace

void startRunClock(RunClock& clock) {
    clock.startMs = monotonicMs();
    clock.startWallMs = systemUtcMs();
}

void wallClockAt(const RunClock& clock, long long nowMs, WallTime& utc, WallTime& local) {
    const int64_t wallMs = clock.startWallMs + (nowMs - clock.startMs);
    utc = wallTimeAt(wallMs, 0);
    local = wallTimeAt(wallMs, localOffsetMinutesAt(floorDiv(wallMs, 1000)));
}

RouteClock routeClockOf(const RunClock& clock) {
    routeRunClock = &clock;
    return RouteClock{routeMonotonicMs, routeStampOf};
}
