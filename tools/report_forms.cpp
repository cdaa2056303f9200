// The three report forms, written through one bounded writer.
#include "report_forms.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "text/bounded_text.h"
#include "ui/row_text.h"
#include "ui/trace_text.h"

namespace {

// Appends to a fixed buffer; once something did not fit, `cut` stays set and nothing
// more is written, so a caller can tell a whole report from a partial one.
struct ReportWriter {
    char* data;
    size_t capacity;
    size_t used;
    bool cut;

    void add(const char* text) {
        const size_t length = std::strlen(text);
        if (cut || used + length >= capacity) {
            cut = true;
            return;
        }
        std::memcpy(data + used, text, length + 1);
        used += length;
    }

    void addFormatted(const char* format, ...) {
        char piece[kMaxReportHopLength];
        va_list args;
        va_start(args, format);
        const int length = std::vsnprintf(piece, sizeof piece, format, args);
        va_end(args);
        if (length < 0 || static_cast<size_t>(length) >= sizeof piece) cut = true;
        add(piece);
    }
};

// The numeric part of a cell ("12 ms" -> "12", "34%" -> "34"); empty when the list
// leaves the cell empty.
void cellNumber(const RowCells& cells, int column, char (&number)[kHostNameSize]) {
    size_t length = 0;
    if (cells.present[column]) {
        const char* text = cells.text[column];
        while (text[length] != '\0' && text[length] != ' ' && text[length] != '%') ++length;
    }
    std::memcpy(number, cells.text[column], length);
    number[length] = '\0';
}

// The columns that hold figures, in report order, and their CSV and JSON names.
struct FigureColumn {
    int column;
    const char* csvName;
    const char* jsonName;
};
constexpr FigureColumn kFigures[] = {
    {3, "last_ms", "lastMs"},  {4, "average_ms", "averageMs"}, {5, "best_ms", "bestMs"},
    {6, "worst_ms", "worstMs"}, {7, "sent", "sent"},           {8, "received", "received"},
    {9, "loss_percent", "lossPercent"},
};


void addTsv(ReportWriter& out, const HopRecord* records, int count) {
    if (out.cut) return;
    const size_t length = formatTraceText(records, count, out.data + out.used, out.capacity - out.used);
    if (out.used + length >= out.capacity) {
        out.cut = true;
        return;
    }
    out.used += length;
}

// A CSV field, quoted when it holds a separator, a quote or a line break.
void addCsvField(ReportWriter& out, const char* text) {
    if (std::strpbrk(text, ",\"\r\n") == nullptr) {
        out.add(text);
        return;
    }
    out.add("\"");
    for (const char* c = text; *c != '\0'; ++c) {
        const char piece[3] = {*c, *c == '"' ? '"' : '\0', '\0'};
        out.add(piece);
    }
    out.add("\"");
}

// In a CSV report a target holding a comma is written as a quoted CSV field: a quote
// after one of its commas would otherwise open a field that runs on into the rows below
// (a quote inside a field is taken as it stands).
void addStampLine(ReportWriter& out, const ReportFacts& facts, bool csv) {
    char stamp[kStampSize];
    formatLocalStamp(facts.endLocal, stamp);
    char target[kHostNameSize];
    copyPrintable(target, facts.target);  // a target can never break the line apart
    out.addFormatted("# %s ", stamp);
    if (csv && std::strchr(target, ',') != nullptr) {
        addCsvField(out, target);
    } else {
        out.add(target);
    }
    out.addFormatted(" %s\r\n", facts.address);
}

void addCsv(ReportWriter& out, const HopRecord* records, int count) {
    out.add("hop,address,name");
    for (const FigureColumn& figure : kFigures) out.addFormatted(",%s", figure.csvName);
    out.add("\r\n");
    for (int r = 0; r < count; ++r) {
        RowCells cells;
        formatRowCells(records[r], r, cells);
        for (int column = 0; column < 3; ++column) {
            if (column > 0) out.add(",");
            addCsvField(out, cells.text[column]);
        }
        for (const FigureColumn& figure : kFigures) {
            char number[kHostNameSize];
            cellNumber(cells, figure.column, number);
            out.addFormatted(",%s", number);
        }
        out.add("\r\n");
    }
}

// The length of the well-formed UTF-8 sequence that starts at `c` (RFC 3629), 0 when
// none does. Reads no further than the first byte out of range, so never past the zero.
int utf8SequenceLength(const unsigned char* c) {
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    int length = 0;
    if (c[0] >= 0xC2 && c[0] <= 0xDF) length = 2;
    if (c[0] >= 0xE0 && c[0] <= 0xEF) length = 3;
    if (c[0] >= 0xF0 && c[0] <= 0xF4) length = 4;
    if (c[0] == 0xE0) low = 0xA0;   // no overlong forms
    if (c[0] == 0xF0) low = 0x90;
    if (c[0] == 0xED) high = 0x9F;  // no surrogates
    if (c[0] == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    if (length == 0 || c[1] < low || c[1] > high) return 0;
    for (int i = 2; i < length; ++i) {
        if (c[i] < 0x80 || c[i] > 0xBF) return 0;
    }
    return length;
}

// A JSON string: quotes, backslashes and control bytes escaped. JSON text is UTF-8, and
// a target is any bytes the command line held (cut to fit its buffer, maybe inside a
// character): a byte that does not belong to a whole UTF-8 character is U+FFFD.
void addJsonString(ReportWriter& out, const char* text) {
    out.add("\"");
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c != '\0'; ++c) {
        if (*c >= 0x80) {
            const int length = utf8SequenceLength(c);
            if (length == 0) {
                out.add("\\ufffd");
                continue;
            }
            char piece[5] = {};
            std::memcpy(piece, c, static_cast<size_t>(length));
            out.add(piece);
            c += length - 1;
        } else if (*c == '"' || *c == '\\') {
            const char piece[3] = {'\\', static_cast<char>(*c), '\0'};
            out.add(piece);
        } else if (*c < 0x20 || *c == 0x7F) {
            out.addFormatted("\\u%04x", static_cast<unsigned>(*c));
        } else {
            const char piece[2] = {static_cast<char>(*c), '\0'};
            out.add(piece);
        }
    }
    out.add("\"");
}

// "name":value, where an empty cell is null and a name the list shows empty too.
void addJsonMember(ReportWriter& out, const char* name, const char* value, bool quoted) {
    out.addFormatted(",\"%s\":", name);
    if (value[0] == '\0') {
        out.add("null");
    } else if (quoted) {
        addJsonString(out, value);
    } else {
        out.add(value);
    }
}

void addJsonHop(ReportWriter& out, const HopRecord& record, int row) {
    RowCells cells;
    formatRowCells(record, row, cells);
    out.addFormatted("{\"hop\":%s", cells.text[0]);
    addJsonMember(out, "address", cells.text[1], true);
    addJsonMember(out, "name", cells.text[2], true);
    for (const FigureColumn& figure : kFigures) {
        char number[kHostNameSize];
        cellNumber(cells, figure.column, number);
        addJsonMember(out, figure.jsonName, number, false);
    }
    out.add("}");
}

void addJson(ReportWriter& out, const ReportFacts& facts, const HopRecord* records, int count) {
    char start[kStampSize];
    char end[kStampSize];
    formatUtcStamp(facts.startUtc, start);
    formatUtcStamp(facts.endUtc, end);
    out.add("{\"target\":");
    addJsonString(out, facts.target);
    addJsonMember(out, "address", facts.address, true);
    out.addFormatted(",\"options\":{\"maxHops\":%d,\"timeoutMs\":%d,\"monitorTimeoutMs\":%d,"
                     "\"sizeBytes\":%d,\"reverseDns\":%s}",
                     static_cast<int>(facts.maxHops), static_cast<int>(facts.timeoutMs),
                     static_cast<int>(facts.monitorTimeoutMs), static_cast<int>(facts.packetSize),
                     facts.reverseDns != 0 ? "true" : "false");
    out.addFormatted(",\"start\":\"%s\",\"end\":\"%s\",\"hops\":[", start, end);
    for (int r = 0; r < count; ++r) {
        if (r > 0) out.add(",");
        addJsonHop(out, records[r], r);
    }
    out.add("]}\n");
}

}  // namespace

bool formatReport(ReportFormat format, const ReportFacts& facts, const HopRecord* records,
                    int count, char* out, size_t capacity) {
    if (capacity == 0) return false;
    ReportWriter writer{out, capacity, 0, false};
    out[0] = '\0';
    if (facts.stamped && format != ReportFormat::kJson) addStampLine(writer, facts, format == ReportFormat::kCsv);
    if (format == ReportFormat::kTsv) addTsv(writer, records, count);
    if (format == ReportFormat::kCsv) addCsv(writer, records, count);
    if (format == ReportFormat::kJson) addJson(writer, facts, records, count);
    if (!writer.cut) return true;
    out[0] = '\0';
    return false;
}
