// Options field reading and clamping.
#include "options_rules.h"

#include <cstdint>

int32_t readFieldInteger(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int64_t magnitude = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit) magnitude = limit;  // stays bounded whatever the length
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t clampOption(int32_t value, int32_t low, int32_t high) {
    if (value >= high) return high;
    if (value < low) return low;
    return value;
}
