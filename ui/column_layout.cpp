// Column table of the results list.
#include "column_layout.h"

const ColumnSpec kColumns[kColumnCount] = {
    {"Hop", false, 60},        {"IP Address", false, 150}, {"Name", false, 250},
    {"Last Ping", true, 80},   {"Ave. Ping", true, 80},    {"Best Ping", true, 80},
    {"Worst Ping", true, 80},  {"Sent", true, 80},         {"Received", true, 80},
    {"Loss", true, 80},
};

int32_t columnWidth(int column, int32_t savedWidth, int32_t initialClientWidth) {
    if (savedWidth != 0) return savedWidth;
    // 64-bit product: a client width is far below the point where this matters, but the
    // arithmetic must not be undefined for any value the platform hands over.
    return static_cast<int32_t>(static_cast<int64_t>(initialClientWidth) *
                                kColumns[column].widthNumerator / 1060);
}
