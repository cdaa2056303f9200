// Row cells and clipboard text, compared byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "ui/row_text.h"
#include "tools/report_forms.h"
#include "ui/trace_text.h"

namespace {

HopRecord answeredHop(const char* address, const char* name, int64_t sent, int64_t received,
                      int32_t lastMs, int64_t totalMs, int32_t bestMs, int32_t worstMs) {
    HopRecord r;
    std::memset(&r, 0, sizeof r);
    r.address = 1;
    std::strcpy(r.addressText, address);
    std::strcpy(r.hostName, name);
    std::tie(r.sent, r.received, r.lastMs, r.totalMs, r.bestMs, r.worstMs) =
        std::make_tuple(sent, received, lastMs, totalMs, bestMs, worstMs);
    return r;
}

HopRecord silentHop() {
    HopRecord r = answeredHop("0.0.0.0", "", 0, 0, 0, 0, 0, 0);
    r.address = 0;
    r.excluded = 1;
    return r;
}

std::vector<std::string> cellsOf(const HopRecord& r, int row) {
    RowCells cells;
    formatRowCells(r, row, cells);
    std::vector<std::string> out;
    for (int i = 0; i < kColumnCount; ++i) out.push_back(cells.present[i] ? cells.text[i] : "<absent>");
    return out;
}

std::string traceText(const HopRecord* records, int count) {
    size_t length = formatTraceText(records, count, nullptr, 0);
    std::vector<char> buffer(length + 1, 'X');
    EXPECT_EQ(formatTraceText(records, count, buffer.data(), buffer.size()), length);
    EXPECT_EQ(buffer[length], '\0');
    return std::string(buffer.data());
}

}  // namespace

// A silent hop leaves average and loss absent; a hop found in the trace shows one echo
// and no loss.
TEST(RowCells, SilentHopAndHopFoundInTrace) {
    EXPECT_EQ(cellsOf(silentHop(), 2),
              (std::vector<std::string>{"3", "0.0.0.0", "", "0 ms", "<absent>", "0 ms", "0 ms", "0",
                                        "0", "<absent>"}));
    EXPECT_EQ(cellsOf(answeredHop("192.0.2.1", "gw.example", 1, 1, 4, 4, 4, 4), 0),
              (std::vector<std::string>{"1", "192.0.2.1", "gw.example", "4 ms", "4 ms", "4 ms", "4 ms", "1", "1", "0%"}));
}

TEST(RowCells, LossAndAverageTruncate) {
    auto averageAndLoss = [](int64_t sent, int64_t received, int64_t totalMs) {
        const std::vector<std::string> cells = cellsOf(answeredHop("a", "", sent, received, 1, totalMs, 1, 24), 0);
        return cells[4] + " " + cells[9];
    };
    EXPECT_EQ(averageAndLoss(3, 2, 25), "12 ms 34%");
    EXPECT_EQ(averageAndLoss(3, 1, 1), "1 ms 67%");
    EXPECT_EQ(averageAndLoss(4, 0, 0), "<absent> 100%");
}

TEST(RowCells, CountersBeyondThirtyTwoBitsStayExact) {
    HopRecord r = answeredHop("a", "", int64_t{INT32_MAX} * 4, int64_t{INT32_MAX} * 2, -3,
                              int64_t{INT32_MAX} * 20, INT32_MIN, INT32_MAX);
    EXPECT_EQ(cellsOf(r, 255), (std::vector<std::string>{"256", "a", "", "-3 ms", "10 ms", "-2147483648 ms",
                                                          "2147483647 ms", "8589934588", "4294967294", "50%"}));
}

TEST(RowCells, NamesCannotSplitARowOrOverrunACell) {
    HopRecord r = answeredHop("10.0.0.1", "", 1, 1, 1, 1, 1, 1);
    std::strcpy(r.hostName, "evil\tname\r\nline");
    EXPECT_EQ(cellsOf(r, 0)[2], "evil?name??line");
    // Buffers without a terminator (a damaged record) are read only within their size.
    std::memset(r.hostName, 'n', sizeof r.hostName);
    std::memset(r.addressText, '7', sizeof r.addressText);
    std::vector<std::string> cells = cellsOf(r, 0);
    EXPECT_EQ(cells[2], std::string(255, 'n'));
    EXPECT_EQ(cells[1], std::string(sizeof r.addressText, '7'));
}

// An empty table gives an empty text; each hop one line of ten fields.
TEST(TraceText, LinesHaveTenTabSeparatedFieldsAndCrLf) {
    char buffer[8] = "junk";
    EXPECT_EQ(formatTraceText(nullptr, 0, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    HopRecord records[3] = {answeredHop("192.0.2.1", "gw", 3, 2, 9, 25, 7, 18), silentHop(),
                            answeredHop("198.51.100.7", "", 4, 4, 1, 4, 1, 1)};
    EXPECT_EQ(traceText(records, 3),
              "1\t192.0.2.1\tgw\t9 ms\t12 ms\t7 ms\t18 ms\t3\t2\t34%\r\n"
              "2\t0.0.0.0\t\t0 ms\t0 ms\t0 ms\t0 ms\t0\t0\t0%\r\n"
              "3\t198.51.100.7\t\t1 ms\t1 ms\t1 ms\t1 ms\t4\t4\t0%\r\n");
}

TEST(TraceText, TableOverloadReadsOnlyTheCurrentTrace) {
    HopTable table;
    table.records[0] = answeredHop("192.0.2.1", "", 1, 1, 2, 2, 2, 2);
    table.records[1] = answeredHop("192.0.2.2", "old trace", 1, 1, 2, 2, 2, 2);
    table.hopCount = 1;
    char buffer[256];
    formatTraceText(table, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "1\t192.0.2.1\t\t2 ms\t2 ms\t2 ms\t2 ms\t1\t1\t0%\r\n");
}

TEST(TraceText, ShortBufferKeepsWholeLinesOnly) {
    HopRecord records[2] = {answeredHop("192.0.2.1", "", 1, 1, 2, 2, 2, 2),
                            answeredHop("192.0.2.2", "", 1, 1, 2, 2, 2, 2)};
    const std::string full = traceText(records, 2);
    const size_t firstLine = full.find("\r\n") + 2;
    for (size_t capacity = 1; capacity <= full.size() + 1; ++capacity) {
        std::vector<char> buffer(capacity + 8, 'Z');
        EXPECT_EQ(formatTraceText(records, 2, buffer.data(), capacity), full.size());
        std::string got(buffer.data());
        std::string expected = capacity > full.size() ? full : capacity > firstLine ? full.substr(0, firstLine) : "";
        ASSERT_EQ(got, expected) << "capacity " << capacity;
        for (size_t i = capacity; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 'Z') << "overrun at " << i;
    }
}

TEST(TraceText, LongestTraceWithHostileNamesStaysOneLinePerHop) {
    static HopRecord records[kMaxRecords];
    for (int i = 0; i < kMaxRecords; ++i) {
        records[i] = answeredHop("255.255.255.255", "", INT64_MAX / 200, INT64_MAX / 300, INT32_MIN,
                                 INT64_MAX / 2, INT32_MIN, INT32_MAX);
        std::memset(records[i].hostName, '\n', sizeof records[i].hostName - 1);
        records[i].hostName[sizeof records[i].hostName - 1] = '\0';
    }
    std::string text = traceText(records, kMaxRecords);
    size_t lines = 0;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    EXPECT_EQ(lines, static_cast<size_t>(kMaxRecords));
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
    EXPECT_EQ(text.substr(0, 3), "1\t2");
}

// Found by fuzzing: received * 100 overflowed for counters no run can reach, but a
// damaged record can hold. The figure must stay defined and within 0..100%.
TEST(Figures, ExtremeCountersStayWithinRange) {
    HopRecord r = answeredHop("a", "", INT64_MAX, INT64_MAX, 0, INT64_MAX, 0, 0);
    EXPECT_EQ(lossPercent(r), 0);
    EXPECT_EQ(averageMs(r), 1);
    r.received = INT64_MAX / 2;  // just under half answered: the loss shown rounds up
    EXPECT_EQ(lossPercent(r), 51);
    std::tie(r.sent, r.received) = std::make_tuple(10, 50);  // more answers than echoes
    EXPECT_EQ(lossPercent(r), 0);
    r.received = -5;
    EXPECT_EQ(lossPercent(r), 100);
    EXPECT_EQ(averageMs(r), 0);
}

namespace {

// A report's run facts: a target with a quote, a stamp 90 minutes behind UTC, the run's
// second report, its last, headed.
ReportFacts reportFacts(bool stamped = false) {
    return ReportFacts{"a\"b", "10.0.0.9", "1.2.3", "box", 30, 500, 250, 64, 0,
                       {2026, 1, 2, 3, 4, 5, 6, 0}, {2026, 12, 31, 23, 59, 59, 999, 0},
                       {2026, 12, 31, 22, 29, 59, 999, -90}, 361994, 2, true, stamped, true,
                       false, nullptr, 0, 0};
}

const HopFigures kNoFigures{};

std::string report(ReportFormat format, const ReportFacts& facts, const HopRecord* hops = nullptr, int count = 0,
                   const HopFigures& figures = kNoFigures) {
    static char out[kMaxReportLength];
    return formatReport(format, facts, hops, count, figures, out, sizeof out) ? out : "(does not fit)";
}

// Three hops: a named one with a comma and a quote, a silent one, and the target
// answering 6 of 742 under a name a spreadsheet would take for a formula; their figures
// fed once, so each interval is the whole run.
std::string reportOf(ReportFormat format, const ReportFacts& facts = reportFacts()) {
    const HopRecord hops[] = {answeredHop("10.0.0.1", "r,\"1\"", 11, 11, 2, 25, 1, 4), silentHop(),
                              answeredHop("10.0.0.9", "=2+5", 742, 6, 9, 60, 5, 15)};
    static HopFigures figures;
    figures = HopFigures{};
    figures.feed(hops, 3);
    return report(format, facts, hops, 3, figures);
}

bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

// Where nothing was received a round trip is null (empty in CSV, no Prometheus sample);
// loss is exact to two decimals; CSV rows carry the report's time, target and number and
// keep formulas inert; the TSV stays the clipboard's text.
TEST(Report, EachFormByteForByte) {
    EXPECT_EQ(reportOf(ReportFormat::kTsv, reportFacts(true)),
              "# 2026-12-31 22:29:59 -01:30 a\"b 10.0.0.9\r\n"
              "1\t10.0.0.1\tr,\"1\"\t2 ms\t2 ms\t1 ms\t4 ms\t11\t11\t0%\r\n"
              "2\t0.0.0.0\t\t0 ms\t0 ms\t0 ms\t0 ms\t0\t0\t0%\r\n"
              "3\t10.0.0.9\t=2+5\t9 ms\t10 ms\t5 ms\t15 ms\t742\t6\t100%\r\n");
    EXPECT_EQ(reportOf(ReportFormat::kCsv, reportFacts(true)),  // no stamp line in CSV
              "hop,address,name,last_ms,average_ms,best_ms,worst_ms,sent,received,loss_percent,"
              "time,target,target_address,seq,interval_sent,interval_received,interval_loss_percent,"
              "interval_best_ms,interval_average_ms,interval_worst_ms\r\n"
              "1,10.0.0.1,\"r,\"\"1\"\"\",2,2,1,4,11,11,0,2026-12-31T23:59:59.999Z,\"a\"\"b\",10.0.0.9,2,11,11,0,1,2,4\r\n"
              "2,0.0.0.0,,,,,,0,0,,2026-12-31T23:59:59.999Z,\"a\"\"b\",10.0.0.9,2,0,0,,,,\r\n"
              "3,10.0.0.9,'=2+5,9,10,5,15,742,6,99.19,2026-12-31T23:59:59.999Z,\"a\"\"b\",10.0.0.9,2,742,6,99.19,5,10,15\r\n");
    EXPECT_EQ(reportOf(ReportFormat::kJson),
              "{\"schema\":2,\"version\":\"1.2.3\",\"host\":\"box\",\"seq\":2,\"final\":true,\"target\":\"a\\\"b\","
              "\"address\":\"10.0.0.9\",\"reached\":true,\"options\":{\"maxHops\":30,\"timeoutMs\":500,"
              "\"monitorTimeoutMs\":250,\"sizeBytes\":64,\"reverseDns\":false},\"start\":\"2026-01-02T03:04:05.006Z\","
              "\"end\":\"2026-12-31T23:59:59.999Z\",\"elapsedMs\":361994,\"routeChanges\":[],\"hops\":[{\"hop\":1,"
              "\"address\":\"10.0.0.1\",\"name\":\"r,\\\"1\\\"\",\"lastMs\":2,\"averageMs\":2,\"bestMs\":1,"
              "\"worstMs\":4,\"stdevMs\":0,\"sent\":11,\"received\":11,\"lossPercent\":0,\"interval\":{\"sent\":11,"
              "\"received\":11,\"lossPercent\":0,\"bestMs\":1,\"averageMs\":2,\"worstMs\":4}},{\"hop\":2,"
              "\"address\":\"0.0.0.0\",\"name\":null,\"lastMs\":null,\"averageMs\":null,\"bestMs\":null,"
              "\"worstMs\":null,\"stdevMs\":null,\"sent\":0,\"received\":0,\"lossPercent\":null,"
              "\"interval\":{\"sent\":0,\"received\":0,\"lossPercent\":null,\"bestMs\":null,\"averageMs\":null,"
              "\"worstMs\":null}},{\"hop\":3,\"address\":\"10.0.0.9\",\"name\":\"=2+5\",\"lastMs\":9,\"averageMs\":10,"
              "\"bestMs\":5,\"worstMs\":15,\"stdevMs\":0,\"sent\":742,\"received\":6,\"lossPercent\":99.19,"
              "\"interval\":{\"sent\":742,\"received\":6,\"lossPercent\":99.19,\"bestMs\":5,\"averageMs\":10,"
              "\"worstMs\":15}}]}\n");
    const std::string prometheus = reportOf(ReportFormat::kPrometheus);
    EXPECT_PRED2(holds, prometheus, "# HELP lumentrax_hop_sent_total Echoes sent to the hop in this run.\n"
                                    "# TYPE lumentrax_hop_sent_total counter\n"
                                    "lumentrax_hop_sent_total{target=\"a\\\"b\",hop=\"1\",address=\"10.0.0.1\",name=\"r,\\\"1\\\"\"} 11\n"
                                    "lumentrax_hop_sent_total{target=\"a\\\"b\",hop=\"2\",address=\"0.0.0.0\",name=\"\"} 0\n");
    EXPECT_PRED2(holds, prometheus, "name=\"=2+5\"} 0.9919\n# HELP lumentrax_hop_last_rtt_seconds");
    EXPECT_PRED2(holds, prometheus, "name=\"r,\\\"1\\\"\"} 0.004\nlumentrax_hop_worst_rtt_seconds{target=\"a\\\"b\",hop=\"3\"");
    EXPECT_EQ(std::count(prometheus.begin(), prometheus.end(), '\n') - 2 * 7 - 2 * 1, 2 * 3 + 5 * 2 + 1);
}

// Loss never rounds to 100 while answers arrive or to 0 while echoes go unanswered; a
// report that is not the run's first has no CSV header; route changes are listed in
// JSON, and counted in Prometheus when the run checks its route.
TEST(Report, LossEdgesHeaderAndRouteChanges) {
    HopRecord hops[] = {answeredHop("10.0.0.1", "", 20000, 1, 3, 3, 3, 3),
                        answeredHop("10.0.0.2", "", 30000, 29999, 3, 3, 3, 3)};
    HopFigures figures{};
    figures.feed(hops, 2);
    ReportFacts facts = reportFacts();
    facts.csvHeader = false;
    const std::string csv = report(ReportFormat::kCsv, facts, hops, 2, figures);
    EXPECT_EQ(csv.substr(0, 36), "1,10.0.0.1,,3,3,3,3,20000,1,99.99,20");
    EXPECT_PRED2(holds, csv, "\r\n2,10.0.0.2,,3,0,3,3,30000,29999,0.01,");
    const ReportRouteChange changes[] = {{{2026, 3, 4, 5, 6, 7, 8, 0}, 3, "10.0.0.3", "10.0.1.3"},
                                         {{2026, 3, 4, 5, 9, 0, 0, 0}, 2, "10.0.1.2", "10.0.0.2"}};
    std::tie(facts.routeChanges, facts.routeChangeCount, facts.routeChangesTotal) = std::make_tuple(changes, 2, 5);
    EXPECT_PRED2(holds, report(ReportFormat::kJson, facts, hops, 2, figures),
                 ",\"routeChanges\":[{\"time\":\"2026-03-04T05:06:07.008Z\",\"hop\":3,\"from\":\"10.0.0.3\","
                 "\"to\":\"10.0.1.3\"},{\"time\":\"2026-03-04T05:09:00.000Z\",\"hop\":2,\"from\":\"10.0.1.2\","
                 "\"to\":\"10.0.0.2\"}],\"hops\":[{");
    EXPECT_FALSE(holds(report(ReportFormat::kPrometheus, facts, hops, 2, figures), "route_changes"));
    facts.routeChecks = true;
    EXPECT_PRED2(holds, report(ReportFormat::kPrometheus, facts, hops, 2, figures),
                 "\n# HELP lumentrax_route_changes_total Route changes confirmed in this run.\n"
                 "# TYPE lumentrax_route_changes_total counter\nlumentrax_route_changes_total{target=\"a\\\"b\"} 5\n");
}

// Each report's interval holds the echoes since the previous report; the spread is that
// of every answered round trip; a row written afresh starts over.
TEST(Report, IntervalAndSpreadFollowTheSteps) {
    HopRecord hop = answeredHop("10.0.0.9", "", 0, 0, 0, 0, INT32_MAX, 0);
    HopFigures figures{};
    for (int32_t ms : {2, 4, 4, 4, 5, 5, 7, 9, -1, -1, -1, 20}) {  // one echo a step; -1: lost
        if (hop.sent == 8) figures.startInterval();  // a report after the eighth echo
        ++hop.sent;
        if (ms >= 0) {
            std::tie(hop.received, hop.lastMs, hop.totalMs, hop.bestMs, hop.worstMs) =
                std::make_tuple(hop.received + 1, ms, hop.totalMs + ms, std::min(hop.bestMs, ms), std::max(hop.worstMs, ms));
        }
        figures.feed(&hop, 1);
        if (ms == 9) {  // eight answers in the first interval, fed at eight looks
            EXPECT_PRED2(holds, report(ReportFormat::kJson, reportFacts(), &hop, 1, figures),
                         "\"stdevMs\":2.14,\"sent\":8,\"received\":8,\"lossPercent\":0,\"interval\":{\"sent\":8,"
                         "\"received\":8,\"lossPercent\":0,\"bestMs\":2,\"averageMs\":5,\"worstMs\":9}}");
        }
    }
    EXPECT_PRED2(holds, report(ReportFormat::kCsv, reportFacts(), &hop, 1, figures),
                 "\r\n1,10.0.0.9,,20,6,2,20,12,9,25,2026-12-31T23:59:59.999Z,\"a\"\"b\",10.0.0.9,2,4,1,75,20,20,20\r\n");
    EXPECT_PRED2(holds, report(ReportFormat::kJson, reportFacts(), &hop, 1, figures), "\"stdevMs\":5.39,");
    figures.startInterval();
    hop = answeredHop("10.0.0.7", "", 1, 1, 30, 30, 30, 30);
    figures.feed(&hop, 1);
    EXPECT_PRED2(holds, report(ReportFormat::kJson, reportFacts(), &hop, 1, figures),
                 "\"stdevMs\":null,\"sent\":1,\"received\":1,\"lossPercent\":0,\"interval\":{\"sent\":1,"
                 "\"received\":1,\"lossPercent\":0,\"bestMs\":30,\"averageMs\":30,\"worstMs\":30}}");
}

TEST(Report, TargetsAreEscapedOrMadePrintableAndShortBuffersGiveNothing) {
    ReportFacts facts = reportFacts(true);
    std::strcpy(facts.target, "x\\\n\x7f");
    EXPECT_PRED2(holds, report(ReportFormat::kJson, facts), ",\"target\":\"x\\\\\\u000a\\u007f\",\"address\":\"10.0.0.9\",\"reached\":false,");
    EXPECT_EQ(report(ReportFormat::kTsv, facts), "# 2026-12-31 22:29:59 -01:30 x\\?? 10.0.0.9\r\n");
    EXPECT_EQ(report(ReportFormat::kPrometheus, facts),
              "# HELP lumentrax_target_reached 1 when the target itself answered in this run, else 0.\n"
              "# TYPE lumentrax_target_reached gauge\nlumentrax_target_reached{target=\"x\\\\\\n?\"} 0\n");
    // Valid JSON, Prometheus labels and UTF-8 CSV from a target cut inside a UTF-8
    // character; a CSV field that stays one field and one line, a formula kept inert.
    std::strcpy(facts.target, "\xc3\xa9-\xff-\xc3");
    const std::string cut = "\xc3\xa9-\xef\xbf\xbd-\xef\xbf\xbd";
    const HopRecord hop = silentHop();
    EXPECT_PRED2(holds, report(ReportFormat::kJson, facts), ",\"target\":\"\xc3\xa9-\\ufffd-\\ufffd\",");
    EXPECT_PRED2(holds, report(ReportFormat::kPrometheus, facts), "{target=\"" + cut + "\"} 0\n");
    EXPECT_PRED2(holds, report(ReportFormat::kCsv, facts, &hop, 1), "," + cut + ",10.0.0.9,");
    std::strcpy(facts.target, "@t,\"q\r");
    EXPECT_PRED2(holds, report(ReportFormat::kCsv, facts, &hop, 1), ",\"'@t,\"\"q?\",10.0.0.9,");
    // The longest report: a full table whose names and target take the most room in each
    // form, as many route changes as a report has room for.
    static HopRecord records[kMaxRecords];
    static ReportRouteChange changes[kMaxReportRouteChanges];
    for (HopRecord& record : records) {
        record = answeredHop("255.255.255.255", "", INT64_MAX, INT64_MAX / 3, INT32_MIN, INT64_MIN, INT32_MIN, 0);
        std::memset(record.hostName, 0xff, sizeof record.hostName - 1);
    }
    ReportFacts longest{{}, "", "", "", 0, 0, 0, 0, 0, {}, {}, {}, 0, 1, false, false, true,
                        true, changes, kMaxReportRouteChanges, 0};
    std::memset(longest.target, 0xff, sizeof longest.target - 1);
    std::memset(longest.host, 0xff, sizeof longest.host - 1);
    static HopFigures full;
    full.feed(records, kMaxRecords);
    for (ReportFormat format : {ReportFormat::kTsv, ReportFormat::kCsv, ReportFormat::kJson, ReportFormat::kPrometheus}) {
        char out[50];
        EXPECT_FALSE(formatReport(format, facts, &hop, 1, kNoFigures, out, sizeof out));
        EXPECT_STREQ(out, "");
        EXPECT_NE(report(format, longest, records, kMaxRecords, full), "(does not fit)");
    }
}
