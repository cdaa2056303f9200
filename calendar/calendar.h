// The one calendar of the program: a moment of the wall clock as its calendar fields,
// counted to and from milliseconds since 1970-01-01 00:00 UTC, its printed forms, and
// the local offsets over a stretch of time. Pure: what offset local time has at an
// instant is the platform's to say (calendar/system_clock.h), handed in as a function.
#pragma once

#include <cstdint>

struct WallTime {
    int32_t year;
    int32_t month;   // 1..12
    int32_t day;     // 1..31
    int32_t hour;
    int32_t minute;
    int32_t second;
    int32_t millisecond;
    int32_t offsetMinutes;  // local time minus UTC; 0 for a UTC time
};

// The fields of the instant `utcMs` (ms since 1970-01-01 00:00 UTC, proleptic Gregorian
// calendar) on a clock `offsetMinutes` ahead of UTC, and back to the instant.
WallTime wallTimeAt(int64_t utcMs, int32_t offsetMinutes);
int64_t utcMsOf(const WallTime& time);

// `value` / `divisor` rounded towards minus infinity (`divisor` > 0): the second, day or
// round interval that holds an instant, before 1970 too.
inline int64_t floorDiv(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

constexpr int kStampSize = 40;

// "2026-12-07T18:20:05.123Z" (RFC 3339, UTC, milliseconds); `utc` must have offset 0.
void formatUtcStamp(const WallTime& utc, char (&stamp)[kStampSize]);
// "2026-12-07 19:20:05 +01:00": local time to the second and its offset from UTC.
void formatLocalStamp(const WallTime& local, char (&stamp)[kStampSize]);

// Minutes that local time is ahead of UTC at the UTC second `utcSecond`, by the rules in
// force at that instant (not today's: a daylight-saving change may lie between).
using LocalOffsetAt = int32_t (*)(int64_t utcSecond);

// The local offsets over a stretch of time: the one at its start until `changeSecond`,
// the one at its end from there on.
struct LocalOffsets {
    int32_t beforeMinutes;
    int32_t afterMinutes;
    int64_t changeSecond;  // the first UTC second of afterMinutes

    int32_t minutesAt(int64_t utcSecond) const { return utcSecond < changeSecond ? beforeMinutes : afterMinutes; }
    // The local second (seconds of local time counted from 1970-01-01 00:00) of an instant.
    int64_t localSecondOf(int64_t utcSecond) const { return utcSecond + minutesAt(utcSecond) * int64_t{60}; }
};

// Asks `offsetAt` for both ends of [fromUtcSecond, toUtcSecond] and, only when they differ,
// for the instants between that find the change by halving (17 questions for a day). The
// rules change local time at most once within a stretch as short as a day.
LocalOffsets localOffsetsOver(LocalOffsetAt offsetAt, int64_t fromUtcSecond, int64_t toUtcSecond);
