// The reading and bounding of the Options dialog's fields, to the bounds of the probe
// options.
#pragma once

#include <cstdint>

#include "engine/probe_options.h"

// Leading white space, an optional sign, then decimal digits up to the first other
// character; no digits give 0. Digit strings beyond 32 bits saturate at the nearest
// 32-bit limit, so the result always lies on the right side of every bound.
int32_t readFieldInteger(const char* text);

// value >= high gives high, value < low gives low, anything else stays.
int32_t clampOption(int32_t value, int32_t low, int32_t high);
