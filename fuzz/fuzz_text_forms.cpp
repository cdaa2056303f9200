// Fuzzes the row cells and the clipboard text over arbitrary records: any bytes in the
// names, extreme counters, buffers without terminators, any buffer size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ui/row_text.h"
#include "ui/trace_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t capacity = static_cast<size_t>(data[0]) * 37;
    data += 1;
    size -= 1;
    const int count = static_cast<int>(size / sizeof(HopRecord)) + 1;
    std::vector<HopRecord> records(count);
    std::memset(records.data(), 0, sizeof(HopRecord) * count);
    std::memcpy(records.data(), data, size);

    for (int r = 0; r < count; ++r) {
        RowCells cells;
        formatRowCells(records[r], r, cells);
        for (int c = 0; c < kColumnCount; ++c) {
            if (std::memchr(cells.text[c], 0, sizeof cells.text[c]) == nullptr) std::abort();
            for (const char* p = cells.text[c]; *p; ++p) {
                if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7F) std::abort();
            }
        }
    }

    const size_t length = formatTraceText(records.data(), count, nullptr, 0);
    // An exactly sized heap block: AddressSanitizer catches any byte written past it.
    std::vector<char> whole(length + 1);
    if (formatTraceText(records.data(), count, whole.data(), whole.size()) != length) std::abort();
    if (std::strlen(whole.data()) != length) std::abort();
    int lines = 0, tabs = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = whole[i];
        if (c == '\t') ++tabs;
        if (c == '\r' && (i + 1 >= length || whole[i + 1] != '\n')) std::abort();
        if (c == '\n') {
            if (i == 0 || whole[i - 1] != '\r' || tabs != 9) std::abort();
            ++lines;
            tabs = 0;
        }
    }
    if (lines != count || (length > 0 && whole[length - 1] != '\n')) std::abort();

    if (capacity > 0) {
        std::vector<char> part(capacity);
        formatTraceText(records.data(), count, part.data(), part.size());
        size_t got = std::strlen(part.data());
        // A cut text is a prefix of whole lines.
        if (got >= capacity || std::memcmp(part.data(), whole.data(), got) != 0) std::abort();
        if (got > 0 && part[got - 1] != '\n') std::abort();
    }
    return 0;
}
