// The texts of one row of the results list, built from one hop record without any
// window system, so that they can be compared byte for byte.
#pragma once

#include "engine/hop_table.h"
#include "settings/column_count.h"

struct RowCells {
    char text[kColumnCount][kHostNameSize];
    // False for the average (column 4) when nothing was received and for the loss
    // (column 9) when nothing was sent: the list leaves those cells as they were.
    bool present[kColumnCount];
};

void formatRowCells(const HopRecord& record, int rowIndex, RowCells& cells);
