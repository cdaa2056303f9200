// Round ticks for both axes, and the time labels.
#include "timeline/timeline_axis.h"

#include <cstdio>
#include <initializer_list>

namespace {

constexpr int32_t kTimeSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                  600, 900, 1800, 3600, 7200, 10800, 21600, 43200};

// The first instant at or after `utcSecond` whose local time `offsetMinutes` ahead is round.
int64_t roundInstant(int64_t utcSecond, int32_t stepSeconds, int32_t offsetMinutes) {
    const int64_t offsetSeconds = offsetMinutes * int64_t{60};
    return -floorDiv(-(utcSecond + offsetSeconds), stepSeconds) * stepSeconds - offsetSeconds;
}

}  // namespace

MsScale msScale(int32_t largestMs, int32_t maxTicks) {
    // No echo waits anywhere near this long; a damaged time above it is drawn at the top,
    // and the scale's top and the tick loop that passes it stay far inside int32.
    constexpr int32_t kLargestScaleMs = 1000000000;
    if (largestMs > kLargestScaleMs) largestMs = kLargestScaleMs;
    if (largestMs < 1) largestMs = 1;
    if (maxTicks < 1) maxTicks = 1;
    for (int64_t power = 1;; power *= 10) {
        for (int64_t factor : {1, 2, 5}) {
            const int64_t step = factor * power;
            const int64_t steps = (largestMs + step - 1) / step;
            if (steps <= maxTicks || step >= largestMs) {
                return MsScale{static_cast<int32_t>(step), static_cast<int32_t>(steps * step)};
            }
        }
    }
}

int32_t timeTickSeconds(int64_t spanSeconds, int32_t maxTicks) {
    if (maxTicks < 1) maxTicks = 1;
    for (int32_t step : kTimeSteps) {
        if (spanSeconds / step <= maxTicks) return step;
    }
    return kTimeSteps[sizeof kTimeSteps / sizeof kTimeSteps[0] - 1];
}

int64_t firstTickSecond(int64_t utcSecond, int32_t stepSeconds, const LocalOffsets& offsets) {
    if (stepSeconds < 1) stepSeconds = 1;
    const int64_t tick = roundInstant(utcSecond, stepSeconds, offsets.minutesAt(utcSecond));
    if (utcSecond >= offsets.changeSecond || tick < offsets.changeSecond) return tick;
    // The earlier offset's next round time falls after the change, where it is not shown.
    return roundInstant(offsets.changeSecond, stepSeconds, offsets.afterMinutes);
}

void formatTimeLabel(int64_t localSecond, int32_t stepSeconds, char (&text)[kTimeLabelSize]) {
    const WallTime time = wallTimeAt(localSecond * 1000, 0);
    if (stepSeconds < 60) {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    } else {
        std::snprintf(text, sizeof text, "%02d:%02d", time.hour, time.minute);
    }
}
