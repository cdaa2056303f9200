// The wall clock and local-time rules on Windows: the system's time zone, whose
// daylight-saving rule the conversion applies to the instant converted (Wine takes the
// zone from the host's TZ or /etc/localtime).
#include "calendar/system_clock.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "calendar/calendar.h"

int64_t systemUtcMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    constexpr int64_t kUnixEpoch = 116444736000000000;  // 1970-01-01 in 100 ns units from 1601
    return ((static_cast<int64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) - kUnixEpoch) / 10000;
}

int32_t localOffsetMinutesAt(int64_t utcSecond) {
    const WallTime utc = wallTimeAt(utcSecond * 1000, 0);
    if (utc.year < 1601 || utc.year > 30827) return 0;  // outside SYSTEMTIME's range
    const SYSTEMTIME utcTime{static_cast<WORD>(utc.year),   static_cast<WORD>(utc.month),  0,
                             static_cast<WORD>(utc.day),    static_cast<WORD>(utc.hour),   static_cast<WORD>(utc.minute),
                             static_cast<WORD>(utc.second), 0};
    SYSTEMTIME local;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local)) return 0;
    const WallTime localTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond, 0, 0};
    return static_cast<int32_t>((utcMsOf(localTime) - utcSecond * 1000) / 60000);
}
