// Round ticks for both axes, and days counted to and from calendar dates.
#include "timeline/timeline_axis.h"

#include <initializer_list>

namespace {

constexpr int32_t kTimeSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                  600, 900, 1800, 3600, 7200, 10800, 21600, 43200};
constexpr int64_t kSecondsPerDay = 86400;

int64_t floorDiv(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

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

int64_t firstTickSecond(int64_t localSecond, int32_t stepSeconds) {
    if (stepSeconds < 1) stepSeconds = 1;
    return -floorDiv(-localSecond, stepSeconds) * stepSeconds;
}

int64_t secondsFromCivil(const CivilTime& time) {
    return daysFromCivil(time.year, time.month, time.day) * kSecondsPerDay + time.hour * 3600 +
           time.minute * 60 + time.second;
}

CivilTime civilFromSeconds(int64_t seconds) {
    const int64_t days = floorDiv(seconds, kSecondsPerDay) + 719468;
    const int64_t secondOfDay = seconds - floorDiv(seconds, kSecondsPerDay) * kSecondsPerDay;
    const int64_t era = floorDiv(days, 146097);
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    CivilTime time;
    time.year = static_cast<int32_t>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    time.month = static_cast<int32_t>(month);
    time.day = static_cast<int32_t>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    time.hour = static_cast<int32_t>(secondOfDay / 3600);
    time.minute = static_cast<int32_t>(secondOfDay / 60 % 60);
    time.second = static_cast<int32_t>(secondOfDay % 60);
    return time;
}
