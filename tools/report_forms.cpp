// The four report forms, written through one bounded writer.
#include "report_forms.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "text/bounded_text.h"
#include "ui/row_text.h"
#include "ui/trace_text.h"

namespace {

constexpr size_t kPieceSize = 256;

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
        char piece[kPieceSize];
        va_list args;
        va_start(args, format);
        const int length = std::vsnprintf(piece, sizeof piece, format, args);
        va_end(args);
        if (length < 0 || static_cast<size_t>(length) >= sizeof piece) cut = true;
        add(piece);
    }
};

// A number as text; empty where the report has no value.
struct Figure {
    char text[kPieceSize];
};

// `value` / 10^decimals as a decimal without trailing zeros ("99.19", "0.012", "100").
Figure scaledDecimal(int64_t value, int decimals) {
    int64_t unit = 1;
    for (int i = 0; i < decimals; ++i) unit *= 10;
    // Magnitudes as unsigned, so that INT64_MIN has one too.
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    Figure figure;
    int length = std::snprintf(figure.text, sizeof figure.text, "%s%llu.%0*llu", value < 0 ? "-" : "",
                               static_cast<unsigned long long>(magnitude / unit), decimals,
                               static_cast<unsigned long long>(magnitude % unit));
    while (figure.text[length - 1] == '0') figure.text[--length] = '\0';
    if (figure.text[length - 1] == '.') figure.text[length - 1] = '\0';
    return figure;
}

Figure wholeNumber(int64_t value) {
    Figure figure;
    std::snprintf(figure.text, sizeof figure.text, "%lld", static_cast<long long>(value));
    return figure;
}

// The share of `sent` that went unanswered, in hundredths of a percent, rounded, yet
// 10000 only when nothing answered and 0 only when everything did.
int64_t lossHundredths(int64_t sent, int64_t received) {
    if (received < 0) received = 0;
    if (received > sent) received = sent;
    const int64_t lost = sent - received;
    int64_t hundredths = 0;
    if (lost <= (INT64_MAX - sent) / 10000) {
        hundredths = (lost * 10000 + sent / 2) / sent;
    } else {
        hundredths = static_cast<int64_t>(std::floor(static_cast<long double>(lost) * 10000 / sent + 0.5L));
    }
    if (lost > 0 && hundredths == 0) hundredths = 1;
    if (received > 0 && hundredths == 10000) hundredths = 9999;
    return hundredths;
}

// The figures of one hop as a report gives them: its whole run, and its last interval.
struct HopFigureTexts {
    RowCells cells;  // hop, address and name as the list shows them
    Figure lastMs, averageMs, bestMs, worstMs, stdevMs, sent, received, lossPercent;
    Figure intervalSent, intervalReceived, intervalLossPercent, intervalBestMs,
        intervalAverageMs, intervalWorstMs;
};

// Sent, received and loss of a stretch; the loss is empty when nothing was sent.
void countFigures(int64_t sent, int64_t received, Figure& sentText, Figure& receivedText, Figure& loss) {
    sentText = wholeNumber(sent);
    receivedText = wholeNumber(received);
    loss = sent > 0 ? scaledDecimal(lossHundredths(sent, received), 2) : Figure{};
}

HopFigureTexts hopFigures(const HopRecord& record, int row, const HopFigures& figures) {
    HopFigureTexts texts{};
    formatRowCells(record, row, texts.cells);
    countFigures(record.sent, record.received, texts.sent, texts.received, texts.lossPercent);
    if (record.received > 0) {
        texts.lastMs = wholeNumber(record.lastMs);
        texts.averageMs = wholeNumber(averageMs(record));
        texts.bestMs = wholeNumber(record.bestMs);
        texts.worstMs = wholeNumber(record.worstMs);
    }
    double stdev = 0;
    if (figures.stdevMs(row, stdev)) texts.stdevMs = scaledDecimal(std::llround(stdev * 100), 2);
    const HopInterval& interval = figures.rows[row].interval;
    countFigures(interval.sent, interval.received, texts.intervalSent, texts.intervalReceived,
                 texts.intervalLossPercent);
    if (interval.received > 0) {
        texts.intervalBestMs = wholeNumber(interval.bestMs);
        texts.intervalAverageMs = wholeNumber(interval.totalMs / interval.received);
        texts.intervalWorstMs = wholeNumber(interval.worstMs);
    }
    return texts;
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

// Writes `text` as UTF-8: a byte that does not belong to a whole character becomes
// `invalid`, and each ASCII byte goes through `ascii`, which writes it as the form needs.
template <typename AsciiWriter>
void addUtf8(ReportWriter& out, const char* text, const char* invalid, AsciiWriter ascii) {
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c != '\0'; ++c) {
        if (*c < 0x80) {
            ascii(static_cast<char>(*c));
            continue;
        }
        const int length = utf8SequenceLength(c);
        if (length == 0) {
            out.add(invalid);
            continue;
        }
        char piece[5] = {};
        std::memcpy(piece, c, static_cast<size_t>(length));
        out.add(piece);
        c += length - 1;
    }
}

void addByte(ReportWriter& out, char c) {
    const char piece[2] = {c, '\0'};
    out.add(piece);
}

// --- tab-separated text ---

void addTsv(ReportWriter& out, const HopRecord* records, int count) {
    if (out.cut) return;
    const size_t length = formatTraceText(records, count, out.data + out.used, out.capacity - out.used);
    if (out.used + length >= out.capacity) {
        out.cut = true;
        return;
    }
    out.used += length;
}

void addStampLine(ReportWriter& out, const ReportFacts& facts) {
    char stamp[kStampSize];
    formatLocalStamp(facts.endLocal, stamp);
    char target[kHostNameSize];
    copyPrintable(target, facts.target);  // a target can never break the line apart
    out.addFormatted("# %s ", stamp);
    out.add(target);
    out.addFormatted(" %s\r\n", facts.address);
}

// --- CSV ---

// A CSV text field. One that a spreadsheet would take for a formula (starting with
// =, +, -, @, a tab or a carriage return) gets a leading apostrophe, which keeps it text;
// one holding a separator, a quote or a line break is quoted, quotes doubled. The table
// is UTF-8, as readers decode it: a byte outside a whole character is U+FFFD.
void addCsvField(ReportWriter& out, const char* text) {
    const bool formula = text[0] != '\0' && std::strchr("=+-@\t\r", text[0]) != nullptr;
    const bool quoted = std::strpbrk(text, ",\"\r\n") != nullptr;
    out.add(quoted ? "\"" : "");
    out.add(formula ? "'" : "");
    addUtf8(out, text, "\xef\xbf\xbd", [&out](char c) {
        addByte(out, c);
        if (c == '"') out.add("\"");
    });
    out.add(quoted ? "\"" : "");
}

constexpr const char* kCsvHeader =
    "hop,address,name,last_ms,average_ms,best_ms,worst_ms,sent,received,loss_percent,"
    "time,target,target_address,seq,interval_sent,interval_received,interval_loss_percent,"
    "interval_best_ms,interval_average_ms,interval_worst_ms\r\n";

void addCsvNumbers(ReportWriter& out, std::initializer_list<const Figure*> figures) {
    for (const Figure* figure : figures) out.addFormatted(",%s", figure->text);
}

void addCsv(ReportWriter& out, const ReportFacts& facts, const HopRecord* records, int count,
            const HopFigures& figures) {
    if (facts.csvHeader) out.add(kCsvHeader);
    char time[kStampSize];
    formatUtcStamp(facts.endUtc, time);
    char target[kHostNameSize];
    char address[kAddressTextSize];
    copyPrintable(target, facts.target);  // one row stays one line for line-based readers
    copyPrintable(address, facts.address);
    for (int r = 0; r < count; ++r) {
        const HopFigureTexts hop = hopFigures(records[r], r, figures);
        out.add(hop.cells.text[0]);
        for (int column = 1; column < 3; ++column) {
            out.add(",");
            addCsvField(out, hop.cells.text[column]);
        }
        addCsvNumbers(out, {&hop.lastMs, &hop.averageMs, &hop.bestMs, &hop.worstMs, &hop.sent,
                            &hop.received, &hop.lossPercent});
        out.addFormatted(",%s,", time);
        addCsvField(out, target);
        out.add(",");
        addCsvField(out, address);
        out.addFormatted(",%lld", static_cast<long long>(facts.seq));
        addCsvNumbers(out, {&hop.intervalSent, &hop.intervalReceived, &hop.intervalLossPercent,
                            &hop.intervalBestMs, &hop.intervalAverageMs, &hop.intervalWorstMs});
        out.add("\r\n");
    }
}

// --- JSON ---

// A JSON string: quotes, backslashes and control bytes escaped. JSON text is UTF-8, and
// a target is any bytes the command line held (cut to fit its buffer, maybe inside a
// character): a byte that does not belong to a whole UTF-8 character is U+FFFD.
void addJsonString(ReportWriter& out, const char* text) {
    out.add("\"");
    addUtf8(out, text, "\\ufffd", [&out](char c) {
        if (c == '"' || c == '\\') {
            out.add("\\");
            addByte(out, c);
        } else if (isControlByte(c)) {
            out.addFormatted("\\u%04x", static_cast<unsigned>(c));
        } else {
            addByte(out, c);
        }
    });
    out.add("\"");
}

// ,"name":value with null for an empty value.
void addJsonNumber(ReportWriter& out, const char* name, const Figure& value) {
    out.addFormatted(",\"%s\":%s", name, value.text[0] == '\0' ? "null" : value.text);
}

void addJsonText(ReportWriter& out, const char* name, const char* value) {
    out.addFormatted(",\"%s\":", name);
    if (value[0] == '\0') {
        out.add("null");
    } else {
        addJsonString(out, value);
    }
}

void addJsonHop(ReportWriter& out, const HopRecord& record, int row, const HopFigures& figures) {
    const HopFigureTexts hop = hopFigures(record, row, figures);
    out.addFormatted("{\"hop\":%s", hop.cells.text[0]);
    addJsonText(out, "address", hop.cells.text[1]);
    addJsonText(out, "name", hop.cells.text[2]);
    addJsonNumber(out, "lastMs", hop.lastMs);
    addJsonNumber(out, "averageMs", hop.averageMs);
    addJsonNumber(out, "bestMs", hop.bestMs);
    addJsonNumber(out, "worstMs", hop.worstMs);
    addJsonNumber(out, "stdevMs", hop.stdevMs);
    addJsonNumber(out, "sent", hop.sent);
    addJsonNumber(out, "received", hop.received);
    addJsonNumber(out, "lossPercent", hop.lossPercent);
    out.addFormatted(",\"interval\":{\"sent\":%s", hop.intervalSent.text);
    addJsonNumber(out, "received", hop.intervalReceived);
    addJsonNumber(out, "lossPercent", hop.intervalLossPercent);
    addJsonNumber(out, "bestMs", hop.intervalBestMs);
    addJsonNumber(out, "averageMs", hop.intervalAverageMs);
    addJsonNumber(out, "worstMs", hop.intervalWorstMs);
    out.add("}}");
}

// Whether the target itself answered: a hop at its address received an echo.
bool targetReached(const ReportFacts& facts, const HopRecord* records, int count) {
    for (int r = 0; r < count; ++r) {
        const HopRecord& record = records[r];
        if (record.received > 0 &&
            std::strncmp(record.addressText, facts.address, sizeof record.addressText) == 0) {
            return true;
        }
    }
    return false;
}

void addJsonRouteChanges(ReportWriter& out, const ReportFacts& facts) {
    out.add(",\"routeChanges\":[");
    for (int32_t i = 0; i < facts.routeChangeCount && facts.routeChanges != nullptr; ++i) {
        const ReportRouteChange& change = facts.routeChanges[i];
        char time[kStampSize];
        formatUtcStamp(change.timeUtc, time);
        char from[kAddressTextSize];
        char to[kAddressTextSize];
        copyPrintableField(from, change.from);
        copyPrintableField(to, change.to);
        out.addFormatted("%s{\"time\":\"%s\",\"hop\":%d,\"from\":", i > 0 ? "," : "", time,
                         static_cast<int>(change.hop));
        addJsonString(out, from);
        out.add(",\"to\":");
        addJsonString(out, to);
        out.add("}");
    }
    out.add("]");
}

void addJson(ReportWriter& out, const ReportFacts& facts, const HopRecord* records, int count,
             const HopFigures& figures) {
    out.addFormatted("{\"schema\":%d,\"version\":", kReportSchema);
    addJsonString(out, facts.version);
    out.add(",\"host\":");
    addJsonString(out, facts.host);
    out.addFormatted(",\"seq\":%lld,\"final\":%s,\"target\":", static_cast<long long>(facts.seq),
                     facts.final ? "true" : "false");
    addJsonString(out, facts.target);
    addJsonText(out, "address", facts.address);
    out.addFormatted(",\"reached\":%s", targetReached(facts, records, count) ? "true" : "false");
    out.addFormatted(",\"options\":{\"maxHops\":%d,\"timeoutMs\":%d,\"monitorTimeoutMs\":%d,"
                     "\"sizeBytes\":%d,\"reverseDns\":%s}",
                     static_cast<int>(facts.maxHops), static_cast<int>(facts.timeoutMs),
                     static_cast<int>(facts.monitorTimeoutMs), static_cast<int>(facts.packetSize),
                     facts.reverseDns != 0 ? "true" : "false");
    char start[kStampSize];
    char end[kStampSize];
    formatUtcStamp(facts.startUtc, start);
    formatUtcStamp(facts.endUtc, end);
    out.addFormatted(",\"start\":\"%s\",\"end\":\"%s\",\"elapsedMs\":%lld", start, end,
                     static_cast<long long>(facts.elapsedMs));
    addJsonRouteChanges(out, facts);
    out.add(",\"hops\":[");
    for (int r = 0; r < count; ++r) {
        if (r > 0) out.add(",");
        addJsonHop(out, records[r], r, figures);
    }
    out.add("]}\n");
}

// --- Prometheus text exposition format ---

// A label value: UTF-8 with backslash, quote and line feed escaped; another control
// byte is made printable, as in the table, and a byte outside a whole character is U+FFFD.
void addLabelValue(ReportWriter& out, const char* text) {
    addUtf8(out, text, "\xef\xbf\xbd", [&out](char c) {
        if (c == '\\' || c == '"') {
            out.add("\\");
            addByte(out, c);
        } else if (c == '\n') {
            out.add("\\n");
        } else {
            addByte(out, isControlByte(c) ? kControlReplacement : c);
        }
    });
}

void addLabel(ReportWriter& out, const char* name, const char* value, bool first = false) {
    out.addFormatted("%s%s=\"", first ? "" : ",", name);
    addLabelValue(out, value);
    out.add("\"");
}

// One metric family: its HELP and TYPE lines, then one sample per hop that has a value.
struct PrometheusFamily {
    const char* name;
    const char* type;
    const char* help;
    Figure (*value)(const HopRecord& record);  // empty: no sample for this hop
};

Figure seconds(int64_t ms) { return scaledDecimal(ms, 3); }
Figure answeredOnly(const HopRecord& record, int64_t ms) { return record.received > 0 ? seconds(ms) : Figure{}; }

constexpr PrometheusFamily kHopFamilies[] = {
    {"lumentrax_hop_sent_total", "counter", "Echoes sent to the hop in this run.",
     [](const HopRecord& r) { return wholeNumber(r.sent); }},
    {"lumentrax_hop_received_total", "counter", "Echo answers received from the hop in this run.",
     [](const HopRecord& r) { return wholeNumber(r.received); }},
    {"lumentrax_hop_loss_ratio", "gauge", "Share of the echoes sent to the hop that went unanswered (0 to 1).",
     [](const HopRecord& r) { return r.sent > 0 ? scaledDecimal(lossHundredths(r.sent, r.received), 4) : Figure{}; }},
    {"lumentrax_hop_last_rtt_seconds", "gauge", "Round trip of the hop's latest answer.",
     [](const HopRecord& r) { return answeredOnly(r, r.lastMs); }},
    {"lumentrax_hop_best_rtt_seconds", "gauge", "Shortest round trip of the hop in this run.",
     [](const HopRecord& r) { return answeredOnly(r, r.bestMs); }},
    {"lumentrax_hop_average_rtt_seconds", "gauge", "Average round trip of the hop in this run (whole milliseconds).",
     [](const HopRecord& r) { return answeredOnly(r, averageMs(r)); }},
    {"lumentrax_hop_worst_rtt_seconds", "gauge", "Longest round trip of the hop in this run.",
     [](const HopRecord& r) { return answeredOnly(r, r.worstMs); }},
};

void addFamilyHead(ReportWriter& out, const char* name, const char* type, const char* help) {
    out.addFormatted("# HELP %s %s\n# TYPE %s %s\n", name, help, name, type);
}

void addTargetSample(ReportWriter& out, const char* name, const ReportFacts& facts, long long value) {
    out.addFormatted("%s{", name);
    addLabel(out, "target", facts.target, true);
    out.addFormatted("} %lld\n", value);
}

void addPrometheus(ReportWriter& out, const ReportFacts& facts, const HopRecord* records, int count) {
    for (const PrometheusFamily& family : kHopFamilies) {
        bool headed = false;
        for (int r = 0; r < count; ++r) {
            const Figure value = family.value(records[r]);
            if (value.text[0] == '\0') continue;
            if (!headed) addFamilyHead(out, family.name, family.type, family.help);
            headed = true;
            RowCells cells;
            formatRowCells(records[r], r, cells);
            out.addFormatted("%s{", family.name);
            addLabel(out, "target", facts.target, true);
            addLabel(out, "hop", cells.text[0]);
            addLabel(out, "address", cells.text[1]);
            addLabel(out, "name", cells.text[2]);
            out.addFormatted("} %s\n", value.text);
        }
    }
    addFamilyHead(out, "lumentrax_target_reached", "gauge", "1 when the target itself answered in this run, else 0.");
    addTargetSample(out, "lumentrax_target_reached", facts, targetReached(facts, records, count) ? 1 : 0);
    if (facts.routeChecks) {
        addFamilyHead(out, "lumentrax_route_changes_total", "counter", "Route changes confirmed in this run.");
        addTargetSample(out, "lumentrax_route_changes_total", facts, static_cast<long long>(facts.routeChangesTotal));
    }
}

}  // namespace

bool formatReport(ReportFormat format, const ReportFacts& facts, const HopRecord* records,
                  int count, const HopFigures& figures, char* out, size_t capacity) {
    if (capacity == 0) return false;
    if (count > kMaxRecords) count = kMaxRecords;
    ReportWriter writer{out, capacity, 0, false};
    out[0] = '\0';
    switch (format) {
    case ReportFormat::kTsv:
        if (facts.stamped) addStampLine(writer, facts);
        addTsv(writer, records, count);
        break;
    case ReportFormat::kCsv: addCsv(writer, facts, records, count, figures); break;
    case ReportFormat::kJson: addJson(writer, facts, records, count, figures); break;
    case ReportFormat::kPrometheus: addPrometheus(writer, facts, records, count); break;
    }
    if (!writer.cut) return true;
    out[0] = '\0';
    return false;
}
