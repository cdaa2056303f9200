// The four probe options a HopTable runs with: the values a first run starts with, and
// the bounds the Options dialog brings typed values into. The settings file, the
// console runner and the dialog all take them from here.
#pragma once

#include <cstdint>

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
