// Row cells and clipboard text, compared byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
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
    r.sent = sent;
    r.received = received;
    r.lastMs = lastMs;
    r.totalMs = totalMs;
    r.bestMs = bestMs;
    r.worstMs = worstMs;
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

TEST(RowCells, SilentHopLeavesAverageAndLossAbsent) {
    EXPECT_EQ(cellsOf(silentHop(), 2),
              (std::vector<std::string>{"3", "0.0.0.0", "", "0 ms", "<absent>", "0 ms", "0 ms", "0",
                                        "0", "<absent>"}));
}

TEST(RowCells, HopFoundInTraceShowsOneEchoAndNoLoss) {
    HopRecord r = answeredHop("192.0.2.1", "gw.example", 1, 1, 4, 4, 4, 4);
    EXPECT_EQ(cellsOf(r, 0), (std::vector<std::string>{"1", "192.0.2.1", "gw.example", "4 ms", "4 ms",
                                                       "4 ms", "4 ms", "1", "1", "0%"}));
}

TEST(RowCells, LossAndAverageTruncate) {
    EXPECT_EQ(cellsOf(answeredHop("a", "", 3, 2, 1, 25, 1, 24), 0)[9], "34%");
    EXPECT_EQ(cellsOf(answeredHop("a", "", 3, 2, 1, 25, 1, 24), 0)[4], "12 ms");
    EXPECT_EQ(cellsOf(answeredHop("a", "", 3, 1, 1, 1, 1, 1), 0)[9], "67%");
    EXPECT_EQ(cellsOf(answeredHop("a", "", 4, 0, 0, 0, 0, 0), 0)[9], "100%");
    EXPECT_EQ(cellsOf(answeredHop("a", "", 4, 0, 0, 0, 0, 0), 0)[4], "<absent>");
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

TEST(TraceText, EmptyTableGivesEmptyText) {
    char buffer[8] = "junk";
    EXPECT_EQ(formatTraceText(nullptr, 0, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
}

TEST(TraceText, LinesHaveTenTabSeparatedFieldsAndCrLf) {
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
    r.sent = 10;
    r.received = 50;  // more answers than echoes
    EXPECT_EQ(lossPercent(r), 0);
    r.received = -5;
    EXPECT_EQ(lossPercent(r), 100);
    EXPECT_EQ(averageMs(r), 0);
}

namespace {

// A report's run facts: a target with a quote, a stamp 90 minutes behind UTC.
ReportFacts reportFacts(bool stamped) {
    ReportFacts facts{"a\"b", "10.0.0.9", 30, 500, 250, 64, 0,
                      {2026, 1, 2, 3, 4, 5, 6, 0}, {2026, 12, 31, 23, 59, 59, 999, 0},
                      {2026, 12, 31, 22, 29, 59, 999, -90}, stamped};
    return facts;
}

// Three hops: a named one with a comma and a quote, a silent one, one losing 1 of 3.
std::string reportOf(ReportFormat format, bool stamped) {
    const HopRecord hops[] = {answeredHop("10.0.0.1", "r,\"1\"", 11, 11, 2, 25, 1, 4), silentHop(),
                              answeredHop("10.0.0.9", "", 3, 2, 7, 25, 5, 9)};
    char out[kMaxReportLength];
    if (!formatReport(format, reportFacts(stamped), hops, 3, out, sizeof out)) return "(does not fit)";
    return out;
}

}  // namespace

TEST(Report, EachFormByteForByte) {
    EXPECT_EQ(reportOf(ReportFormat::kTsv, false),
              "1\t10.0.0.1\tr,\"1\"\t2 ms\t2 ms\t1 ms\t4 ms\t11\t11\t0%\r\n"
              "2\t0.0.0.0\t\t0 ms\t0 ms\t0 ms\t0 ms\t0\t0\t0%\r\n"
              "3\t10.0.0.9\t\t7 ms\t12 ms\t5 ms\t9 ms\t3\t2\t34%\r\n");
    EXPECT_EQ(reportOf(ReportFormat::kCsv, true),
              "# 2026-12-31 22:29:59 -01:30 a\"b 10.0.0.9\r\n"
              "hop,address,name,last_ms,average_ms,best_ms,worst_ms,sent,received,loss_percent\r\n"
              "1,10.0.0.1,\"r,\"\"1\"\"\",2,2,1,4,11,11,0\r\n"
              "2,0.0.0.0,,0,,0,0,0,0,\r\n"
              "3,10.0.0.9,,7,12,5,9,3,2,34\r\n");
    EXPECT_EQ(reportOf(ReportFormat::kJson, true),
              "{\"target\":\"a\\\"b\",\"address\":\"10.0.0.9\",\"options\":{\"maxHops\":30,"
              "\"timeoutMs\":500,\"monitorTimeoutMs\":250,\"sizeBytes\":64,\"reverseDns\":false},"
              "\"start\":\"2026-01-02T03:04:05.006Z\",\"end\":\"2026-12-31T23:59:59.999Z\",\"hops\":["
              "{\"hop\":1,\"address\":\"10.0.0.1\",\"name\":\"r,\\\"1\\\"\",\"lastMs\":2,\"averageMs\":2,"
              "\"bestMs\":1,\"worstMs\":4,\"sent\":11,\"received\":11,\"lossPercent\":0},"
              "{\"hop\":2,\"address\":\"0.0.0.0\",\"name\":null,\"lastMs\":0,\"averageMs\":null,"
              "\"bestMs\":0,\"worstMs\":0,\"sent\":0,\"received\":0,\"lossPercent\":null},"
              "{\"hop\":3,\"address\":\"10.0.0.9\",\"name\":null,\"lastMs\":7,\"averageMs\":12,"
              "\"bestMs\":5,\"worstMs\":9,\"sent\":3,\"received\":2,\"lossPercent\":34}]}\n");
}

TEST(Report, TargetsAreEscapedOrMadePrintableAndShortBuffersGiveNothing) {
    ReportFacts facts = reportFacts(true);
    std::strcpy(facts.target, "x\\\n\x7f");
    char out[kMaxReportLength];
    ASSERT_TRUE(formatReport(ReportFormat::kJson, facts, nullptr, 0, out, sizeof out));
    EXPECT_EQ(std::string(out).substr(0, 28), "{\"target\":\"x\\\\\\u000a\\u007f\",");
    ASSERT_TRUE(formatReport(ReportFormat::kTsv, facts, nullptr, 0, out, sizeof out));
    EXPECT_EQ(std::string(out), "# 2026-12-31 22:29:59 -01:30 x\\?? 10.0.0.9\r\n");
    // Valid JSON from a target cut inside a UTF-8 character; CSV rows that stay rows after
    // a target whose `,"` would open a quoted field running on past its line.
    std::strcpy(facts.target, "\xc3\xa9-\xff-\xc3");
    ASSERT_TRUE(formatReport(ReportFormat::kJson, facts, nullptr, 0, out, sizeof out));
    EXPECT_EQ(std::string(out).substr(0, 29), "{\"target\":\"\xc3\xa9-\\ufffd-\\ufffd\",");
    std::strcpy(facts.target, "t,\"q");
    ASSERT_TRUE(formatReport(ReportFormat::kCsv, facts, nullptr, 0, out, sizeof out));
    EXPECT_EQ(std::count(out, out + std::strlen(out), '"') % 2, 0) << out;
    const HopRecord hop = silentHop();
    for (ReportFormat format : {ReportFormat::kTsv, ReportFormat::kCsv, ReportFormat::kJson}) {
        EXPECT_FALSE(formatReport(format, facts, &hop, 1, out, 50));
        EXPECT_STREQ(out, "");
    }
}
