// The timeline's axes: round millisecond ticks for the vertical scale, round intervals of
// local time for the horizontal one, and the calendar arithmetic behind the time labels.
#pragma once

#include <cstdint>

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

// The first multiple of `stepSeconds` at or after `localSecond` (seconds of local time
// counted from 1970-01-01 00:00), so that ticks fall on round times of the local clock.
int64_t firstTickSecond(int64_t localSecond, int32_t stepSeconds);

// A local date and time, and its count of seconds from 1970-01-01 00:00 (either way).
struct CivilTime {
    int32_t year;
    int32_t month;   // 1..12
    int32_t day;     // 1..31
    int32_t hour;
    int32_t minute;
    int32_t second;
};
int64_t secondsFromCivil(const CivilTime& time);
CivilTime civilFromSeconds(int64_t seconds);
