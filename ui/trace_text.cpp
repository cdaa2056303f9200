// Tab-separated clipboard text of the hop table.
#include "trace_text.h"

#include <cstdio>
#include <cstring>

#include "row_text.h"

namespace {

// One record's line into `line`; returns its length.
size_t formatTraceLine(const HopRecord& record, int rowIndex, char (&line)[kMaxTraceLineLength]) {
    RowCells cells;
    formatRowCells(record, rowIndex, cells);
    int written = std::snprintf(line, sizeof line, "%s\t%s\t%s\t%s\t%lld ms\t%s\t%s\t%s\t%s\t%lld%%\r\n",
                                cells.text[0], cells.text[1], cells.text[2], cells.text[3],
                                static_cast<long long>(averageMs(record)), cells.text[5],
                                cells.text[6], cells.text[7], cells.text[8],
                                static_cast<long long>(lossPercent(record)));
    // snprintf reports the length the line would have had; a line cut at the buffer's
    // end holds only what fits, and only that may be copied from it.
    if (written < 0) return 0;
    return static_cast<size_t>(written) < sizeof line ? static_cast<size_t>(written) : sizeof line - 1;
}

}  // namespace

size_t formatTraceText(const HopRecord* records, int count, char* out, size_t capacity) {
    size_t total = 0;
    size_t used = 0;
    bool full = false;
    char line[kMaxTraceLineLength];
    for (int r = 0; r < count; ++r) {
        size_t length = formatTraceLine(records[r], r, line);
        if (!full && used + length < capacity) {
            std::memcpy(out + used, line, length);
            used += length;
        } else {
            full = true;  // later lines would leave a gap: keep the text a whole prefix
        }
        total += length;
    }
    if (capacity > 0) out[used] = '\0';
    return total;
}

size_t formatTraceText(const HopTable& table, char* out, size_t capacity) {
    int count = table.hopCount;
    if (count < 0) count = 0;
    if (count > kMaxRecords) count = kMaxRecords;
    return formatTraceText(table.records, count, out, capacity);
}
