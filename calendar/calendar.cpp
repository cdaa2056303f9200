// Days counted to and from calendar dates, the fields of an instant on a clock, the
// printed forms, and the search for a change of the local offset.
#include "calendar/calendar.h"

#include <cstdio>

namespace {

constexpr int64_t kMsPerDay = 86400000;

// Days from 1970-01-01 of a date of the proleptic Gregorian calendar, counted in 400-year
// eras that start on 1 March, so that the leap day ends each era's year.
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = floorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

WallTime wallTimeAt(int64_t utcMs, int32_t offsetMinutes) {
    const int64_t localMs = utcMs + offsetMinutes * int64_t{60000};
    const int64_t days = floorDiv(localMs, kMsPerDay);
    const int64_t msOfDay = localMs - days * kMsPerDay;
    const int64_t era = floorDiv(days + 719468, 146097);
    const int64_t dayOfEra = days + 719468 - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    WallTime time;
    time.year = static_cast<int32_t>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    time.month = static_cast<int32_t>(month);
    time.day = static_cast<int32_t>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    time.hour = static_cast<int32_t>(msOfDay / 3600000);
    time.minute = static_cast<int32_t>(msOfDay / 60000 % 60);
    time.second = static_cast<int32_t>(msOfDay / 1000 % 60);
    time.millisecond = static_cast<int32_t>(msOfDay % 1000);
    time.offsetMinutes = offsetMinutes;
    return time;
}

int64_t utcMsOf(const WallTime& time) {
    const int64_t seconds = daysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * int64_t{3600} +
                            time.minute * int64_t{60} + time.second - time.offsetMinutes * int64_t{60};
    return seconds * 1000 + time.millisecond;
}

void formatUtcStamp(const WallTime& utc, char (&stamp)[kStampSize]) {
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ",
                  static_cast<int>(utc.year), static_cast<int>(utc.month), static_cast<int>(utc.day),
                  static_cast<int>(utc.hour), static_cast<int>(utc.minute),
                  static_cast<int>(utc.second), static_cast<int>(utc.millisecond));
}

void formatLocalStamp(const WallTime& local, char (&stamp)[kStampSize]) {
    const int offset = static_cast<int>(local.offsetMinutes);
    const int magnitude = offset < 0 ? -offset : offset;
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d %c%02d:%02d",
                  static_cast<int>(local.year), static_cast<int>(local.month),
                  static_cast<int>(local.day), static_cast<int>(local.hour),
                  static_cast<int>(local.minute), static_cast<int>(local.second),
                  offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
}

LocalOffsets localOffsetsOver(LocalOffsetAt offsetAt, int64_t fromUtcSecond, int64_t toUtcSecond) {
    const int32_t before = offsetAt(fromUtcSecond);
    const int32_t after = toUtcSecond > fromUtcSecond ? offsetAt(toUtcSecond) : before;
    if (after == before) return LocalOffsets{before, after, INT64_MAX};
    // offsetAt(low) is the earlier offset, offsetAt(high) is not.
    int64_t low = fromUtcSecond;
    int64_t high = toUtcSecond;
    while (high - low > 1) {
        const int64_t middle = low + (high - low) / 2;
        (offsetAt(middle) == before ? low : high) = middle;
    }
    return LocalOffsets{before, after, high};
}
