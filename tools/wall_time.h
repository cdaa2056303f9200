// A moment of the wall clock as its calendar fields, and its two printed forms: UTC with
// milliseconds for machine-read reports, local time with its offset for the line that
// heads a timed report. The clock itself is read by the platform part (console_*.cpp).
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

constexpr int kStampSize = 40;

// "2026-12-07T18:20:05.123Z" (RFC 3339, UTC, milliseconds); `utc` must have offset 0.
void formatUtcStamp(const WallTime& utc, char (&stamp)[kStampSize]);
// "2026-12-07 19:20:05 +01:00": local time to the second and its offset from UTC.
void formatLocalStamp(const WallTime& local, char (&stamp)[kStampSize]);
