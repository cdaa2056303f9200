// The ten columns of the results list: headers, alignment and default widths.
#pragma once

#include <cstdint>

#include "settings/column_count.h"

struct ColumnSpec {
    const char* header;
    bool alignRight;
    int32_t widthNumerator;  // default width = client width * numerator / 1060
};

extern const ColumnSpec kColumns[kColumnCount];

// Width to give column `column`: the saved width when it is not 0, else its share of
// the initial client width (truncated toward zero).
int32_t columnWidth(int column, int32_t savedWidth, int32_t initialClientWidth);
