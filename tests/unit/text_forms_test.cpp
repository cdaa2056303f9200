// Row cells and clipboard text, compared byte for byte.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "ui/row_text.h"
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
