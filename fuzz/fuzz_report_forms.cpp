// Fuzzes the report forms: any bytes in the target, the host and the names, any counters,
// fed to the figures twice. Every JSON report must be one valid JSON text in UTF-8,
// every CSV row must have the header's field count with no formula in a text field, and
// the Prometheus text must keep the exposition format's rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/report_forms.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// The length of the UTF-8 character at `c` (RFC 3629), 0 when it is not one.
int utf8Length(const unsigned char* c) {
    if (c[0] < 0x80) return 1;
    int length = c[0] >= 0xF0 ? 4 : c[0] >= 0xE0 ? 3 : c[0] >= 0xC2 ? 2 : 0;
    if (c[0] > 0xF4 || length == 0) return 0;
    const unsigned code = c[0] == 0xE0 || c[0] == 0xF0 || c[0] == 0xED || c[0] == 0xF4 ? c[1] : 0x80;
    if ((c[0] == 0xE0 && code < 0xA0) || (c[0] == 0xF0 && code < 0x90) || (c[0] == 0xED && code > 0x9F) ||
        (c[0] == 0xF4 && code > 0x8F)) {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if ((c[i] & 0xC0) != 0x80) return 0;
    }
    return length;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A strict RFC 8259 reader that only checks.
struct JsonChecker {
    const char* at;

    bool literal(const char* word) {
        const size_t length = std::strlen(word);
        if (std::strncmp(at, word, length) != 0) return false;
        at += length;
        return true;
    }
    bool digits() {
        if (!isDigit(*at)) return false;
        while (isDigit(*at)) ++at;
        return true;
    }
    bool number() {
        if (*at == '-') ++at;
        if (*at == '0') ++at;
        else if (!digits()) return false;
        if (*at == '.' && (++at, !digits())) return false;
        if (*at == 'e' || *at == 'E') {
            ++at;
            if (*at == '+' || *at == '-') ++at;
            if (!digits()) return false;
        }
        return true;
    }
    bool string() {
        if (*at++ != '"') return false;
        while (*at != '"') {
            const unsigned char c = static_cast<unsigned char>(*at);
            if (c < 0x20) return false;
            if (c == '\\') {
                ++at;
                if (*at == 'u') {
                    for (int i = 1; i <= 4; ++i) {
                        if (!isHex(at[i])) return false;
                    }
                    at += 5;
                } else if (*at != '\0' && std::strchr("\"\\/bfnrt", *at) != nullptr) {
                    ++at;
                } else {
                    return false;
                }
                continue;
            }
            const int length = utf8Length(reinterpret_cast<const unsigned char*>(at));
            if (length == 0) return false;
            at += length;
        }
        ++at;
        return true;
    }
    bool value(int depth) {
        if (depth > 8) return false;
        if (*at == '{' || *at == '[') {
            const char close = *at == '{' ? '}' : ']';
            const bool object = *at++ == '{';
            if (*at == close) return ++at, true;
            do {
                if (object && !(string() && literal(":"))) return false;
                if (!value(depth + 1)) return false;
            } while (literal(","));
            return *at++ == close;
        }
        if (*at == '"') return string();
        return literal("true") || literal("false") || literal("null") || number();
    }
};

void checkJson(const char* text) {
    JsonChecker json{text};
    require(*text == '{' && json.value(0) && std::strcmp(json.at, "\n") == 0);
}

// RFC 4180 records ended by CR LF; each must have the header's field count, and no text
// field may start as a formula would.
void checkCsv(const char* text) {
    int headerFields = 0;
    for (const char* at = text; *at != '\0';) {
        int fields = 0;
        for (bool more = true; more; ++fields) {
            const char* start = at;
            if (*at == '"') {
                for (++at; !(at[0] == '"' && at[1] != '"'); at += at[0] == '"' ? 2 : 1) require(*at != '\0');
                ++at;
            } else {
                while (*at != ',' && *at != '\r' && *at != '\n' && *at != '"') require(*at++ != '\0');
            }
            const char first = start[0] == '"' ? start[1] : start[0];
            const bool text = fields == 1 || fields == 2 || fields == 11 || fields == 12;
            require(!(text && (first == '=' || first == '+' || first == '-' || first == '@' ||
                               first == '\t' || first == '\r')));
            more = *at == ',';
            if (more) ++at;
        }
        require(at[0] == '\r' && at[1] == '\n');
        at += 2;
        if (headerFields == 0) headerFields = fields;
        require(fields == headerFields && text[0] != '#');
    }
    require(headerFields == 20);
}

bool isNameByte(char c, bool first) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || (!first && isDigit(c));
}

// A metric or label name; returns what follows it.
const char* skipName(const char* at, bool metric) {
    require(isNameByte(*at, true) && (metric || *at != ':'));
    while (isNameByte(*at, false) && (metric || *at != ':')) ++at;
    return at;
}

// The text exposition format: HELP and TYPE once per family, before its samples; each
// sample one line: name, labels with values in UTF-8 escaping only \\, \" and \n, a
// number; no time stamps.
void checkPrometheus(const char* text) {
    char family[128] = "";
    for (const char* at = text; *at != '\0'; ++at) {
        const char* end = std::strchr(at, '\n');
        require(end != nullptr);
        if (std::strncmp(at, "# HELP ", 7) == 0) {
            const char* name = at + 7;
            const char* after = skipName(name, true);
            require(*after == ' ' && static_cast<size_t>(after - name) < sizeof family);
            std::memcpy(family, name, static_cast<size_t>(after - name));
            family[after - name] = '\0';
        } else if (std::strncmp(at, "# TYPE ", 7) == 0) {
            const size_t length = std::strlen(family);
            require(std::strncmp(at + 7, family, length) == 0);
            const char* type = at + 7 + length;
            require(std::strncmp(type, " counter\n", 9) == 0 || std::strncmp(type, " gauge\n", 7) == 0);
        } else {
            const char* after = skipName(at, true);
            require(static_cast<size_t>(after - at) == std::strlen(family) && std::strncmp(at, family, after - at) == 0);
            at = after;
            if (*at == '{') {
                do {
                    at = skipName(at + 1, false);
                    require(at[0] == '=' && at[1] == '"');
                    for (at += 2; *at != '"';) {
                        if (*at == '\\') {
                            require(at[1] == '\\' || at[1] == '"' || at[1] == 'n');
                            at += 2;
                            continue;
                        }
                        const int length = utf8Length(reinterpret_cast<const unsigned char*>(at));
                        require(length > 0 && *at != '\n' && *at != '\0');
                        at += length;
                    }
                    ++at;
                } while (*at == ',');
                require(*at++ == '}');
            }
            JsonChecker number{at + 1};
            require(*at == ' ' && number.number() && number.at == end);
        }
        at = end;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static char out[kMaxReportLength];
    static HopFigures figures;
    if (size < 3) return 0;
    ReportFacts facts{};
    const size_t targetLength = data[1] < size - 2 ? data[1] : size - 2;
    std::memcpy(facts.target, data + 2, targetLength < sizeof facts.target ? targetLength : sizeof facts.target - 1);
    std::memcpy(facts.host, data + 2, targetLength < 40 ? targetLength : 40);
    std::memcpy(facts.address, data + 2, targetLength < 10 ? targetLength : 10);
    facts.seq = data[0];
    facts.final = (data[0] & 1) != 0;
    facts.routeChecks = (data[0] & 2) != 0;
    facts.csvHeader = true;
    facts.stamped = true;
    data += 2 + targetLength;
    size -= 2 + targetLength;
    const int count = static_cast<int>(size / sizeof(HopRecord)) + 1;
    std::vector<HopRecord> records(count);
    std::memset(records.data(), 0, sizeof(HopRecord) * count);
    std::memcpy(records.data(), data, size);
    // A first look at half the counters, then the records as they are.
    figures = HopFigures{};
    std::vector<HopRecord> earlier(records);
    for (HopRecord& record : earlier) {
        record.sent /= 2;
        record.received /= 2;
        record.totalMs /= 2;
    }
    figures.feed(earlier.data(), count);
    figures.feed(records.data(), count);

    for (ReportFormat format : {ReportFormat::kTsv, ReportFormat::kCsv, ReportFormat::kJson, ReportFormat::kPrometheus}) {
        require(formatReport(format, facts, records.data(), count, figures, out, sizeof out));
        if (format == ReportFormat::kCsv) checkCsv(out);
        if (format == ReportFormat::kJson) checkJson(out);
        if (format == ReportFormat::kPrometheus) checkPrometheus(out);
    }
    return 0;
}
