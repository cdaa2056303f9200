// The wall clock and local-time rules on Linux: the C library's time zone (TZ, else
// /etc/localtime).
#include "calendar/system_clock.h"

#include <time.h>

int64_t systemUtcMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int32_t localOffsetMinutesAt(int64_t utcSecond) {
    const time_t instant = static_cast<time_t>(utcSecond);
    tm fields{};
    if (localtime_r(&instant, &fields) == nullptr) return 0;
    return static_cast<int32_t>(fields.tm_gmtoff / 60);
}
