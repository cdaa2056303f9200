// Cell texts of a results-list row.
#include "row_text.h"

#include <cstdio>

#include "text/bounded_text.h"

namespace {

void formatCount(char (&cell)[kHostNameSize], int64_t value) {
    std::snprintf(cell, sizeof cell, "%lld", static_cast<long long>(value));
}

void formatMs(char (&cell)[kHostNameSize], int64_t value) {
    std::snprintf(cell, sizeof cell, "%lld ms", static_cast<long long>(value));
}

}  // namespace

void formatRowCells(const HopRecord& record, int rowIndex, RowCells& cells) {
    for (int i = 0; i < kColumnCount; ++i) {
        cells.text[i][0] = '\0';
        cells.present[i] = true;
    }
    formatCount(cells.text[0], static_cast<int64_t>(rowIndex) + 1);
    // The record's buffers may lack a terminator when the record is damaged; read them
    // only within their size, and never let a name break the row apart.
    copyPrintableField(cells.text[1], record.addressText);
    copyPrintableField(cells.text[2], record.hostName);
    formatMs(cells.text[3], record.lastMs);
    cells.present[4] = record.received > 0;
    if (cells.present[4]) formatMs(cells.text[4], averageMs(record));
    formatMs(cells.text[5], record.bestMs);
    formatMs(cells.text[6], record.worstMs);
    formatCount(cells.text[7], record.sent);
    formatCount(cells.text[8], record.received);
    cells.present[9] = record.sent > 0;
    if (cells.present[9]) {
        std::snprintf(cells.text[9], sizeof cells.text[9], "%lld%%",
                      static_cast<long long>(lossPercent(record)));
    }
}
