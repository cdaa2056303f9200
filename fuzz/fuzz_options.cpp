// Fuzzes the Options field reading and clamping against a 128-bit reference.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/options_rules.h"

namespace {

int32_t referenceRead(const char* p) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    __int128 value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > (static_cast<__int128>(1) << 40)) value = static_cast<__int128>(1) << 40;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    const char* field = text.c_str();
    int32_t value = readFieldInteger(field);
    if (value != referenceRead(field)) std::abort();
    for (const OptionRange& range : {kTimeoutRange, kPacketSizeRange, kMaxHopsRange}) {
        int32_t clamped = clampOption(value, range.low, range.high);
        if (clamped < range.low || clamped > range.high) std::abort();
        if (value >= range.low && value < range.high && clamped != value) std::abort();
    }
    return 0;
}
