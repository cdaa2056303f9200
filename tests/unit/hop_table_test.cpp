// The trace engine driven step by step through the scripted echo service.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "engine/hop_table.h"
#include "scripted_pinger.h"

namespace {

using script::ip;

const uint32_t kTarget = ip(10, 9, 9, 9);

uint32_t routerAt(int ttl) { return ip(10, 0, ttl, 1); }

// A record or an echo as one row, so a case compares all its fields at once and a
// failure prints them side by side.
using Row = std::vector<int64_t>;
// address, excluded, changed, sent, received, lastMs, bestMs, worstMs, totalMs
Row fields(const HopRecord& r) {
    return {r.address, r.excluded, r.changed, r.sent, r.received, r.lastMs, r.bestMs, r.worstMs, r.totalMs};
}
// destination, time-to-live, size, timeout
Row echoRow(int i) {
    const script::EchoCall& e = script::echoAt(i);
    return {e.destination, e.timeToLive, e.size, e.timeoutMs};
}
// maxHops, packetSize, timeoutMs, reverseDns
Row settingsOf(const HopTable& t) { return {t.maxHops, t.packetSize, t.timeoutMs, t.reverseDns}; }
// running, hopCount, pingCursor
Row runState(const HopTable& t) { return {t.isRunning(), t.hopCount, t.pingCursor}; }

// A route of `routers` answering routers (1 ms * distance) before a target at distance
// routers + 1; `silentHops` lists distances that never answer.
void route(int routers, std::initializer_list<int> silentHops = {}) {
    for (int d = 1; d <= routers; ++d) script::router(d, routerAt(d), d);
    for (int d : silentHops) script::silent(d);
    script::target(kTarget, routers + 1, 50);
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override { script::reset(); }

    void startTrace(int32_t maxHops = 40, int32_t reverseDns = 0) {
        table.configure(maxHops, 8, 1000, reverseDns);
        table.start("10.9.9.9");
        ASSERT_TRUE(table.isRunning());
    }

    // Runs `n` steps; returns the echoes they sent.
    std::vector<script::EchoCall> steps(int n) {
        const int before = script::echoCount();
        for (int i = 0; i < n; ++i) table.step();
        std::vector<script::EchoCall> sent;
        for (int i = before; i < script::echoCount(); ++i) sent.push_back(script::echoAt(i));
        return sent;
    }

    // Runs trace-phase steps until discovery is complete; returns hopCount.
    int traceToEnd() {
        for (int i = 0; i < 300 && !table.traceComplete(); ++i) {
            int before = table.hopCount;
            table.step();
            if (table.hopCount != before + 1) return -1;  // a trace step adds exactly one record
        }
        return table.hopCount;
    }

    // Starts a trace and runs discovery to its end; returns hopCount.
    int traced(int32_t maxHops = 40) {
        startTrace(maxHops);
        return traceToEnd();
    }

    HopTable table;
};

}  // namespace

TEST_F(Engine, ConstructionDefaultsAndConfigure) {
    HopTable fresh;
    EXPECT_EQ((Row{fresh.isRunning(), fresh.hopCount, fresh.pingCursor, fresh.target}), (Row{0, 0, 0, 0}));
    EXPECT_EQ(settingsOf(fresh), (Row{64, 8, 1500, 1}));
    for (const HopRecord& r : fresh.records) ASSERT_EQ(r.address, 0u);

    fresh.configure(12, 64, 250, 0);
    EXPECT_EQ(settingsOf(fresh), (Row{12, 64, 250, 0}));
}

// Never started, or started for a name that does not resolve: stopped, no echo, no hop.
TEST_F(Engine, StoppedTableAndUnresolvableNameDoNothing) {
    route(3);
    steps(5);
    EXPECT_EQ((Row{script::echoCount(), table.hopCount}), (Row{0, 0}));
    table.start("no.such.host");
    EXPECT_EQ(runState(table), (Row{0, 0, 0}));
    table.step();
    EXPECT_EQ(script::echoCount(), 0);
}

TEST_F(Engine, TraceFindsRouteThenTargetEndsDiscovery) {
    route(3);
    script::reverseName(routerAt(2), "core.example.net");
    startTrace(40, 1);
    EXPECT_EQ(traceToEnd(), 4);
    for (int d = 1; d <= 3; ++d)
        EXPECT_EQ(fields(table.records[d - 1]), (Row{routerAt(d), 0, 1, 1, 1, d, d, d, d})) << "hop " << d;
    EXPECT_STREQ(table.records[0].addressText, "10.0.1.1");
    EXPECT_STREQ(table.records[1].hostName, "core.example.net");
    EXPECT_STREQ(table.records[0].hostName, "");
    EXPECT_EQ(table.records[3].address, kTarget);
    // Trace-phase echoes go to the target with rising time-to-live.
    for (int i = 0; i < 4; ++i) EXPECT_EQ(echoRow(i), (Row{kTarget, i + 1, 8, 1000})) << "echo " << i;
    // Traced again with lookups off: no name, also where the last trace found one.
    EXPECT_EQ(traced(), 4);
    EXPECT_STREQ(table.records[1].hostName, "");
}

TEST_F(Engine, TargetOnLocalNetworkAnswersAtFirstHop) {
    script::target(kTarget, 1, 0);
    startTrace();
    table.step();
    EXPECT_EQ((Row{table.hopCount, table.records[0].address}), (Row{1, kTarget}));
    steps(3);
    EXPECT_EQ(table.hopCount, 1);
    EXPECT_EQ(fields(table.records[0]), (Row{kTarget, 0, 1, 4, 4, 0, 0, 0, 0}));  // a 0 ms answer counts as best
    EXPECT_EQ(script::echoAt(3).timeToLive, 40);  // monitor echoes use the hop limit
}

TEST_F(Engine, HopFoundOnThirdTryCountsOneEcho) {
    route(2);
    script::flaky(1, 2);
    startTrace();
    table.step();
    EXPECT_EQ(script::echoCount(), 3);
    EXPECT_EQ(fields(table.records[0]), (Row{routerAt(1), 0, 1, 1, 1, 1, 1, 1, 1}));
}

TEST_F(Engine, SilentHopIsRecordedAndExcluded) {
    route(4, {2});
    startTrace();
    // Dirty the record first: a silent hop must not inherit an earlier trace's data.
    table.records[1].sent = 77;
    std::strcpy(table.records[1].hostName, "stale");
    steps(2);
    const HopRecord& r = table.records[1];
    EXPECT_EQ(script::echoCount(), 1 + 3);
    EXPECT_EQ(fields(r), (Row{0, 1, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_STREQ(r.addressText, "0.0.0.0");
    EXPECT_STREQ(r.hostName, "");
    EXPECT_EQ(traceToEnd(), 5);  // discovery goes on past the silent hop
}

TEST_F(Engine, SilentTailIsCountedOnlyFromSixHops) {
    // Hops 1 and 2 answer, 3 to 5 are silent: hop 6 is still probed.
    route(8, {3, 4, 5, 6});
    EXPECT_EQ(traced(), 6);
    script::reset();
    route(8, {3, 4, 5});
    startTrace();
    steps(6);
    EXPECT_EQ(table.records[5].address, routerAt(6));
    EXPECT_EQ(traceToEnd(), 9);  // hop 6 answered, discovery went on to the target
}

TEST_F(Engine, NothingAnswersAfterFiveHops) {
    script::target(kTarget, 99, 1);
    for (int d = 1; d <= 5; ++d) script::router(d, routerAt(d), 1);
    EXPECT_EQ(traced(), 8);
}

TEST_F(Engine, NoHopAnswersEndsAfterSix) {
    script::target(kTarget, 99, 1);
    EXPECT_EQ(traced(), 6);
    EXPECT_EQ(script::echoCount(), 18);
    steps(10);
    EXPECT_EQ(script::echoCount(), 18);  // the monitor phase has nothing to ping
}

TEST_F(Engine, MissingIcmpLibraryRecordsSixSilentHops) {
    route(3);
    script::unplugged(true);
    EXPECT_EQ(traced(40), 6);
    for (int i = 0; i < 6; ++i) EXPECT_STREQ(table.records[i].addressText, "0.0.0.0");
}

TEST_F(Engine, HopLimitEndsDiscoveryAndRaisingItResumes) {
    route(14);
    EXPECT_EQ(traced(10), 10);
    EXPECT_EQ(table.records[9].address, routerAt(10));
    const std::vector<script::EchoCall> sent = steps(10);
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ((Row{sent[i].destination, sent[i].timeToLive}), (Row{routerAt(static_cast<int>(i) + 1), 10})) << i;
    }
    table.configure(40, 8, 1000, 0);
    table.step();
    EXPECT_EQ((Row{table.hopCount, script::echoAt(script::echoCount() - 1).timeToLive}), (Row{11, 11}));
}

TEST_F(Engine, LoweringHopLimitDuringDiscoveryEndsIt) {
    route(10);
    startTrace(40);
    steps(4);
    table.configure(3, 8, 1000, 0);
    table.step();
    EXPECT_EQ((Row{table.hopCount, script::echoAt(script::echoCount() - 1).timeToLive}), (Row{4, 3}));
}

TEST_F(Engine, MonitorRotationSkipsExcludedHopsAtOneStepEach) {
    route(4);  // hops 1-4 routers, hop 5 the target
    EXPECT_EQ(traced(), 5);
    table.records[1].excluded = 1;
    table.pingCursor = 0;
    Row destinations;
    for (const script::EchoCall& e : steps(10)) destinations.push_back(e.destination);
    EXPECT_EQ(destinations, (Row{routerAt(1), routerAt(3), routerAt(4), kTarget, routerAt(1), routerAt(3), routerAt(4),
                                 kTarget}));
    EXPECT_EQ(table.records[1].sent, 1);
}

TEST_F(Engine, SilentHopIsNeverPingedEvenWhenIncluded) {
    route(3, {2});
    traced();
    table.records[1].excluded = 0;
    table.records[1].changed = 0;
    for (const script::EchoCall& e : steps(8)) EXPECT_NE(e.destination, 0u);
    EXPECT_EQ(fields(table.records[1]), (Row{0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(Engine, MonitorStatisticsAfterTimeouts) {
    route(1);
    const int32_t answers[] = {7, -1, 3, 12, -1};
    script::answers(routerAt(1), answers, 5);
    EXPECT_EQ(traced(), 2);   // hop 1 found in 1 ms, then the target
    table.records[0].changed = 0;
    table.records[1].excluded = 1;  // drive hop 1 alone
    steps(2);                     // hop 1: 7 ms, then the target skipped
    EXPECT_EQ((Row{table.records[0].sent, table.records[0].received}), (Row{2, 2}));
    steps(2);                     // hop 1: time-out
    const HopRecord& r = table.records[0];
    EXPECT_EQ(fields(r), (Row{routerAt(1), 0, 1, 3, 2, 7, 1, 7, 1 + 7}));
    steps(4);                     // 3, 12
    EXPECT_EQ(r.lastMs, 12);
    steps(2);                     // time-out
    EXPECT_EQ(fields(r), (Row{routerAt(1), 0, 1, 6, 4, 12, 1, 12, 1 + 7 + 3 + 12}));
    EXPECT_EQ(averageMs(r), 23 / 4);
    EXPECT_EQ(lossPercent(r), 100 - 400 / 6);
}

TEST_F(Engine, StopKeepsTableAndStartRestartsFromHopOne) {
    route(3);
    traced();
    steps(3);
    const int32_t cursor = table.pingCursor;
    table.stop();
    EXPECT_EQ(runState(table), (Row{0, 4, cursor}));
    EXPECT_TRUE(steps(1).empty());

    // Another address: records beyond the new count keep the old data, unshown.
    script::reset();
    script::target(ip(10, 8, 8, 8), 1, 5);
    table.start("10.8.8.8");
    EXPECT_EQ(runState(table), (Row{1, 0, 0}));
    table.step();
    EXPECT_EQ((Row{table.hopCount, table.records[0].address, table.records[2].address}),
              (Row{1, ip(10, 8, 8, 8), routerAt(3)}));

    // Start while running restarts without a stop.
    table.start("10.8.8.8");
    EXPECT_EQ(runState(table), (Row{1, 0, 0}));
}

TEST_F(Engine, SameAddressAtSeveralDistancesFillsEachRecord) {
    for (int d = 1; d <= 4; ++d) script::router(d, routerAt(1), 1);  // a loop
    script::target(kTarget, 50, 1);
    EXPECT_EQ(traced(6), 6);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(table.records[i].address, routerAt(1));
}

// Values that only a hand-edited settings file can hold must not break the engine.
TEST_F(Engine, HopLimitsBeyondTheTableNeverOverrunOrWrapTheTimeToLive) {
    script::target(kTarget, 400, 1);
    for (int d = 1; d <= 300; ++d) script::router(d, ip(10, d / 256, d % 256, 1), 1);
    HopRecord sentinel;
    std::memset(&sentinel, 0x5A, sizeof sentinel);
    table.records[kMaxRecords - 1] = sentinel;
    table.configure(100000, 8, 10, 0);
    table.start("10.9.9.9");
    EXPECT_EQ(traceToEnd(), kMaxTimeToLive);
    EXPECT_EQ(std::memcmp(&table.records[kMaxRecords - 1], &sentinel, sizeof sentinel), 0);
    steps(600);
    for (int i = 0; i < script::echoCount(); ++i) {
        const int32_t ttl = script::echoAt(i).timeToLive;
        ASSERT_TRUE(ttl >= 1 && ttl <= 255) << "echo " << i << " sent with time-to-live " << ttl;
    }
}

TEST_F(Engine, HopLimitBelowOneSendsNothingWithTimeToLiveZero) {
    route(3);
    startTrace(0);
    steps(5);
    EXPECT_EQ((Row{table.hopCount, script::echoCount()}), (Row{0, 0}));
    // Lowered to 0 or below after discovery: the hops are still pinged with a valid TTL.
    table.configure(40, 8, 1000, 0);
    traceToEnd();
    table.configure(-5, 8, 1000, 0);
    const std::vector<script::EchoCall> sent = steps(4);
    ASSERT_FALSE(sent.empty());
    for (const script::EchoCall& e : sent) EXPECT_EQ(e.timeToLive, 1);
}

TEST_F(Engine, TimeoutIsHeldWithinBoundsAndSizePassedAsConfigured) {
    route(1);
    table.configure(40, -5, -1, 0);
    table.start("10.9.9.9");
    table.step();
    table.configure(40, 4096, INT32_MAX, 0);
    table.step();
    table.configure(40, 8, 5, 0);  // small but sane values are used unchanged
    table.step();
    EXPECT_EQ(echoRow(0), (Row{kTarget, 1, -5, 1}));
    EXPECT_EQ(echoRow(1), (Row{kTarget, 2, 4096, HopTable::kMaxTimeoutMs}));
    EXPECT_EQ(echoRow(2)[3], 5);
}

TEST_F(Engine, LongRunsNeverWrapCountersOrLoss) {
    route(1);
    traced();
    table.records[1].excluded = 1;
    HopRecord& r = table.records[0];
    // Counters past every 32-bit limit, as weeks of fast monitoring make them.
    std::tie(r.sent, r.received, r.totalMs) =
        std::make_tuple(int64_t{INT32_MAX} + 10, int64_t{INT32_MAX} + 5, int64_t{INT32_MAX} * 3);
    table.pingCursor = 0;
    table.step();
    EXPECT_EQ((Row{r.sent, r.received, r.totalMs}),
              (Row{int64_t{INT32_MAX} + 11, int64_t{INT32_MAX} + 6, int64_t{INT32_MAX} * 3 + 1}));
    EXPECT_EQ(lossPercent(r), 1);  // 100 - 99.99...% truncated; never negative or wrapped
    EXPECT_EQ(averageMs(r), 2);
    // received * 100 beyond 32 bits: 30 million answers of 40 million echoes is 25% loss.
    std::tie(r.sent, r.received) = std::make_tuple(40000000, 30000000);
    EXPECT_EQ(lossPercent(r), 25);
}
