// The clipboard form of the whole hop table: one line per hop, ten tab-separated
// fields, each line ended by CR LF, no header.
#pragma once

#include <cstddef>

#include "engine/hop_table.h"

// Writes the text of records[0 .. count-1] into `out` (capacity bytes, zero included),
// only whole lines, and returns the length of the complete text without its zero, so
// that a caller can size a buffer with a first call of capacity 0.
size_t formatTraceText(const HopRecord* records, int count, char* out, size_t capacity);
size_t formatTraceText(const HopTable& table, char* out, size_t capacity);

// Longest line one record can give, its CR LF included.
constexpr size_t kMaxTraceLineLength = 512;
