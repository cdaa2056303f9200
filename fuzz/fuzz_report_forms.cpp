// Fuzzes the report forms: any bytes in the target, the host and the names, any counters,
// fed to the figures twice. Every JSON report must be one valid JSON text (UTF-8, \u
// escapes) on one line, every CSV row must have the header's field count in UTF-8, and the
// Prometheus text must keep the exposition format's rules.
#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "tools/report_forms.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// RFC 4180 records ended by CR LF, each with the header's field count, all of it UTF-8
// (dumped as a JSON string, whose writer rejects any other byte sequence).
void checkCsv(const char* text) {
    try {
        nlohmann::json(text).dump();
    } catch (const nlohmann::json::type_error&) {
        require(false);
    }
    int headerFields = 0;
    for (const char* at = text; *at != '\0'; at += 2) {
        int fields = 0;
        for (bool more = true; more; ++fields) {
            if (*at == '"') {
                for (++at; at[0] != '"' || at[1] == '"'; at += at[0] == '"' ? 2 : 1) require(*at != '\0');
                ++at;
            } else {
                while (*at != ',' && *at != '\r' && *at != '\n' && *at != '"') require(*at++ != '\0');
            }
            more = *at == ',';
            at += more ? 1 : 0;
        }
        require(at[0] == '\r' && at[1] == '\n');
        if (headerFields == 0) headerFields = fields;
        require(fields == headerFields);
    }
    require(headerFields == 20);
}

// A metric (`metric`) or label name; returns what follows it.
const char* skipName(const char* at, bool metric) {
    auto nameByte = [metric](char c, bool first) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (metric && c == ':') ||
               (!first && c >= '0' && c <= '9');
    };
    require(nameByte(*at, true));
    while (nameByte(*at, false)) ++at;
    return at;
}

// The text exposition format: HELP, then TYPE, of a family before its samples; each
// sample one line: the family's name, labels whose values are UTF-8 escaping only \\, \"
// and \n (so each value in its quotes is a JSON string), one number, no time stamp.
void checkPrometheus(const char* text) {
    std::string family;
    for (const char* at = text; *at != '\0'; at = std::strchr(at, '\n') + 1) {
        const char* end = std::strchr(at, '\n');
        require(end != nullptr);
        const std::string line(at, end);
        if (line.rfind("# HELP ", 0) == 0) {
            family = std::string(at + 7, skipName(at + 7, true));
            require(at[7 + family.size()] == ' ');
        } else if (line.rfind("# TYPE ", 0) == 0) {
            require(line == "# TYPE " + family + " counter" || line == "# TYPE " + family + " gauge");
        } else {
            require(!family.empty() && line.compare(0, family.size() + 1, family + "{") == 0);
            at += family.size();
            do {
                at = skipName(at + 1, false);
                require(at[0] == '=' && at[1] == '"');
                const char* value = ++at;
                for (++at; *at != '"'; at += *at == '\\' ? 2 : 1) {
                    require(*at != '\0' && (*at != '\\' || (at[1] != '\0' && std::strchr("\\\"n", at[1]) != nullptr)));
                }
                require(nlohmann::json::accept(std::string(value, ++at)));
            } while (*at == ',');
            char* numberEnd = nullptr;
            require(*at == '}' && at[1] == ' ' && at[2] != ' ');
            std::strtod(at + 2, &numberEnd);
            require(numberEnd == end && nlohmann::json::accept(std::string(at + 2, end)));
        }
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
    std::tie(facts.seq, facts.final, facts.routeChecks, facts.csvHeader) =
        std::make_tuple(data[0], (data[0] & 1) != 0, (data[0] & 2) != 0, true);
    data += 2 + targetLength;
    size -= 2 + targetLength;
    const int count = static_cast<int>(size / sizeof(HopRecord)) + 1;
    std::vector<HopRecord> records(count);
    std::memcpy(records.data(), data, size);
    // A first look at half the counters, then the records as they are.
    std::vector<HopRecord> earlier(records);
    for (HopRecord& r : earlier) std::tie(r.sent, r.received, r.totalMs) = std::make_tuple(r.sent / 2, r.received / 2, r.totalMs / 2);
    figures = HopFigures{};
    figures.feed(earlier.data(), count);
    figures.feed(records.data(), count);

    const auto form = [&](ReportFormat format) {
        require(formatReport(format, facts, records.data(), count, figures, out, sizeof out));
        return out;
    };
    form(ReportFormat::kTsv);
    checkCsv(form(ReportFormat::kCsv));
    const char* json = form(ReportFormat::kJson);
    require(std::strchr(json, '\n') == json + std::strlen(json) - 1 && nlohmann::json::accept(json));
    checkPrometheus(form(ReportFormat::kPrometheus));
    return 0;
}
