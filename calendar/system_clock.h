// The platform's wall clock and its local-time rules. Each platform has its own
// implementation file; which one is linked decides. The calendar turns what they give
// into dates (calendar/calendar.h); the timeline is handed localOffsetMinutesAt as a
// LocalOffsetAt and never calls the platform itself.
#pragma once

#include <cstdint>

// The wall clock now: milliseconds since 1970-01-01 00:00 UTC.
int64_t systemUtcMs();

// Minutes local time is ahead of UTC at the UTC second `utcSecond`, by the rules in force
// at that instant; 0 where the system cannot say.
int32_t localOffsetMinutesAt(int64_t utcSecond);
