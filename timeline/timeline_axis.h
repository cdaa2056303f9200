// The timeline's axes: round millisecond ticks for the vertical scale, round intervals of
// local time for the horizontal one, and the labels of those times.
#pragma once

#include <cstdint>

#include "calendar/calendar.h"

// A vertical scale from 0 to topMs with a tick every stepMs (1, 2 or 5 times a power of
// ten), topMs the first tick at or above `largestMs` (held at 10^9), with at most
// `maxTicks` steps.
struct MsScale {
    int32_t stepMs;
    int32_t topMs;
};
MsScale msScale(int32_t largestMs, int32_t maxTicks);

// The shortest round interval of time (1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min;
// 1, 2, 3, 6, 12 h) that puts at most `maxTicks` labels on `spanSeconds`.
int32_t timeTickSeconds(int64_t spanSeconds, int32_t maxTicks);

// The first instant at or after `utcSecond` whose local time (by `offsets`) is a multiple
// of `stepSeconds` counted from 1970-01-01 00:00, so that ticks fall on round times of the
// local clock: across a change, on those of the offset in force at each tick. An hour
// that the clock skips has no tick; one that it shows twice has its ticks twice.
int64_t firstTickSecond(int64_t utcSecond, int32_t stepSeconds, const LocalOffsets& offsets);

// A tick's label: "HH:MM" of its local time, "HH:MM:SS" when the ticks are less than a
// minute apart.
constexpr int kTimeLabelSize = 16;
void formatTimeLabel(int64_t localSecond, int32_t stepSeconds, char (&text)[kTimeLabelSize]);
