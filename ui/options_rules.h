// The probe options: their values when the settings file has none, and the reading and
// bounding of the Options dialog's fields.
#pragma once

#include <cstdint>

// Leading white space, an optional sign, then decimal digits up to the first other
// character; no digits give 0. Digit strings beyond 32 bits saturate at the nearest
// 32-bit limit, so the result always lies on the right side of every bound.
int32_t readFieldInteger(const char* text);

// value >= high gives high, value < low gives low, anything else stays.
int32_t clampOption(int32_t value, int32_t low, int32_t high);

struct OptionRange {
    int32_t low;
    int32_t high;
};

constexpr OptionRange kTimeoutRange{10, 20000};
constexpr OptionRange kPacketSizeRange{4, 4096};
constexpr OptionRange kMaxHopsRange{1, 200};

// The options a first run starts with (no settings file, or a file without them); the
// console runner starts from the same values.
constexpr int32_t kDefaultMaxHops = 40;
constexpr int32_t kDefaultTimeoutMs = 1000;
constexpr int32_t kDefaultReverseDns = 1;
constexpr int32_t kDefaultPacketSize = 8;
