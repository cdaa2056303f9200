// Route checks driven through the scripted echo service: the confirmation rule, the
// table following the route, the schedule's cost, and the history's text.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "route/route_check.h"
#include "scripted_pinger.h"
#include "text/bounded_text.h"

namespace {

using script::ip;
using Route = std::vector<uint32_t>;
using Values = std::vector<int64_t>;

const uint32_t kTarget = ip(10, 9, 9, 9);
const uint32_t kNewRouter = ip(10, 8, 8, 8);

uint32_t routerAt(int ttl) { return ip(10, 0, ttl, 1); }

RouteStamp stampOf(int64_t monotonicMs) {
    const int32_t second = static_cast<int32_t>(monotonicMs / 1000);
    return RouteStamp{{2026, 12, 8, 10 + second / 3600, second / 60 % 60, second % 60, 0, 60}, {}, monotonicMs};
}

const RouteClock kClock{script::clockMs, stampOf};

class RouteChecks : public ::testing::Test {
protected:
    // Routers at 1..routers (hopMs a hop, `silentHops` never answering), the target
    // behind them (or at `targetHop`); traced afresh to the end of discovery.
    void trace(int routers, std::initializer_list<int> silentHops = {}, int32_t maxHops = 40, int32_t hopMs = 1,
               int targetHop = 0) {
        script::reset();
        watch.reset();
        history.clear();
        checkMs = 0;
        for (int d = 1; d <= routers; ++d) script::router(d, routerAt(d), d * hopMs);
        for (int d : silentHops) script::silent(d);
        script::target(kTarget, targetHop > 0 ? targetHop : routers + 1, 9);
        table.configure(maxHops, 8, 1000, 0);
        table.start("10.9.9.9");
        while (!table.traceComplete()) table.step();
    }

    // The window's idle tick for `seconds` of the script's clock: a route check when one
    // is due, else an engine step (at most one echo, 10 ms apart). Returns the checks and
    // adds their time to checkMs.
    int run(int64_t seconds) {
        const int64_t endMs = script::clockMs() + seconds * 1000;
        int checks = 0;
        while (script::clockMs() < endMs) {
            const int64_t startMs = script::clockMs();
            const RouteCheckOutcome outcome = checkRoute(table, watch, history, kClock);
            checks += outcome.checked ? 1 : 0;
            checkMs += script::clockMs() - startMs;
            if (outcome.checked) continue;
            table.step();
            script::advance(10);
        }
        return checks;
    }

    // Seconds of the script's clock until the table holds `route`; past `bound`, the
    // first second after it.
    int64_t secondsUntil(const Route& route, int64_t bound) {
        const int64_t startMs = script::clockMs();
        while (script::clockMs() - startMs <= bound * 1000 && routeOf() != route) run(1);
        return (script::clockMs() - startMs) / 1000 + (routeOf() == route ? 0 : 1);
    }

    Route routeOf() const {
        Route addresses;
        for (int i = 0; i < table.hopCount; ++i) addresses.push_back(table.records[i].address);
        return addresses;
    }

    // Answers `count` checks of hop `hop` (0-based) with `address` as if they had been
    // sent; the verdict of the last.
    RouteVerdict answer(int hop, uint32_t address, int count) {
        RouteFinding finding{};
        for (int i = 0; i < count; ++i) finding = watch.observe(table, hop, true, EchoResult{address, 0, 3}, 0, 0);
        return finding.verdict;
    }

    HopTable table;
    RouteWatch watch;
    RouteHistory history;
    int64_t checkMs = 0;
};

// Unanswered checks are no evidence; checks count in no row and keep to their share of
// the time, also where slow hops would spend it at the start.
TEST_F(RouteChecks, LossSilenceAndAQuietTargetAreNoEvidenceAndChecksCountNowhereAndKeepToTheirShare) {
    trace(3, {2});
    script::flaky(3, 1000);  // hop 3's router stops answering checks
    const std::vector<int32_t> lost(256, -1);
    script::answers(kTarget, lost.data(), 256);  // the target drops every echo
    const int before = script::echoCount();
    const int checks = run(120);
    EXPECT_EQ(routeOf(), (Route{routerAt(1), 0, routerAt(3), kTarget}));
    EXPECT_EQ(history.count(), 0);
    // At most one check a second, each one echo to the target within the probed hops;
    // the silent ones (hops 2 to 4 here) only as often as their time share allows.
    Values monitorEchoes(4, 0);
    int checkEchoes = 0, silentChecks = 0;
    for (int i = before; i < script::echoCount(); ++i) {
        const script::EchoCall& echo = script::echoAt(i);
        if (echo.timeToLive >= 40) {
            for (int hop = 0; hop < 4; ++hop) monitorEchoes[hop] += echo.destination == table.records[hop].address;
        } else {
            EXPECT_EQ((Values{echo.destination, echo.timeoutMs, echo.timeToLive <= 4}), (Values{kTarget, 1000, 1}))
                << "time-to-live " << echo.timeToLive;
            checkEchoes += 1, silentChecks += echo.timeToLive > 1;
        }
    }
    EXPECT_EQ(checkEchoes, checks);
    EXPECT_LE(checks, 121);
    EXPECT_GE(checks - silentChecks, 60);
    EXPECT_LE(silentChecks, 2 + 120 / kRouteTimeShare);
    for (int hop : {0, 2, 3}) EXPECT_EQ(table.records[hop].sent, 1 + monitorEchoes[hop]) << "hop " << hop + 1;

    trace(3, {}, 40, 50);  // 50, 100 and 150 ms: a check a second would take a tenth of the time
    run(60);
    EXPECT_LE(checkMs, 60000 / kRouteTimeShare + 150);
}

TEST_F(RouteChecks, SeveralAnswersInARowConfirmAChangeAndAlternationNever) {
    using V = RouteVerdict;
    trace(3);
    // The row's router back once may be the route going back a moment; twice, it is
    // balancing. At a load-balanced hop a change takes a run that the row's router, at its
    // share of the answers (3 in 21 with the one that wrote its row), misses 1 in 2^20 times.
    EXPECT_EQ((std::vector<V>{answer(1, kNewRouter, kRouteConfirmChecks - 1), answer(1, routerAt(2), 1),
                              answer(1, kNewRouter, kRouteConfirmChecks - 1), answer(1, routerAt(2), 1),
                              answer(1, kNewRouter, 89), answer(1, kNewRouter, 1)}),
              (std::vector<V>{V::kNone, V::kNone, V::kNone, V::kBalanced, V::kBalanced, V::kChanged}));
    // A silent row takes a router that keeps answering; a missing answer breaks no run, and
    // one that mixes two routers (balancing, maybe with the row's router) takes 18 answers.
    trace(3, {2});
    EXPECT_EQ((std::vector<V>{answer(1, kNewRouter, 2), watch.observe(table, 1, false, EchoResult{}, 0, 0).verdict,
                              answer(1, routerAt(3), 1), answer(1, kNewRouter, 14), answer(1, kNewRouter, 1)}),
              (std::vector<V>{V::kNone, V::kNone, V::kNone, V::kNone, V::kChanged}));
    // The row is written as discovery writes one: that answer its first echo, box ticked.
    table.records[1].excluded = 1;
    table.records[2].sent = 500;
    table.rewriteRoute(1, EchoResult{kNewRouter, 0, 7});
    EXPECT_EQ((Values{table.records[1].address, table.records[1].excluded, table.records[1].changed,
                      table.records[1].sent, table.records[1].received, table.records[1].bestMs,
                      table.records[1].totalMs, table.records[2].sent, table.hopCount}),
              (Values{kNewRouter, 0, 1, 1, 1, 7, 7, 500, 4}));
    EXPECT_STREQ(table.records[1].addressText, "10.8.8.8");
    table.rewriteRoute(4, EchoResult{kNewRouter, 0, 7});  // beyond the probed hops: nothing
    table.rewriteRoute(1, EchoResult{kTarget, 0, 7});
    EXPECT_EQ(table.hopCount, 2);
}

TEST_F(RouteChecks, ALoadBalancedHopKeepsItsRowAndShowsItsShares) {
    trace(3);
    script::spread(2, &kNewRouter, 1, 0);
    run(90);
    EXPECT_EQ(routeOf(), (Route{routerAt(1), routerAt(2), routerAt(3), kTarget}));
    EXPECT_GT(table.records[1].sent, 1000);
    ASSERT_EQ(history.count(), 1);
    RouteEventCells cells;
    formatRouteEventCells(history.newest(0), cells);
    const std::string shown = std::string(cells.text[1]) + " " + cells.text[2] + " " + cells.text[3] + " | " + cells.text[9];
    EXPECT_TRUE(std::regex_match(shown, std::regex("2 load-balanced 10\\.0\\.2\\.1 \\| 10\\.0\\.2\\.1 (4[0-9]|5[0-9]|60)%, "
                                                   "10\\.8\\.8\\.8 (4[0-9]|5[0-9]|60)%"))) << shown;
    // Two, three and four routers that hash each echo another way: long runs, no change.
    const uint32_t others[] = {ip(10, 5, 0, 1), ip(10, 5, 0, 2), ip(10, 5, 0, 3)};
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        trace(4);
        const Route route{routerAt(1), routerAt(2), routerAt(3), routerAt(4), kTarget};
        ASSERT_EQ(routeOf(), route) << "seed " << seed;
        for (int ways = 2; ways <= 4; ++ways) script::spread(ways - 1, others, ways - 1, seed * 7 + ways);
        run(600);
        EXPECT_EQ(routeOf(), route) << "seed " << seed;
    }
}

TEST_F(RouteChecks, TheTableFollowsAShorterAndALongerRouteWithinItsBound) {
    trace(5);
    Route route{routerAt(1), routerAt(2), routerAt(3), routerAt(4), routerAt(5), kTarget};
    ASSERT_EQ(routeOf(), route);
    run(10);
    const int64_t hop1Sent = table.records[0].sent;
    // The target now answers at hop 3 (routers 3 to 5 bypassed), and so at every hop
    // after it: hop 3's row is rewritten as discovery writes one, the hops after it go,
    // hops 1 and 2 keep counting.
    script::target(kTarget, 3, 9);
    EXPECT_LE(secondsUntil({routerAt(1), routerAt(2), kTarget}, 6 + 15), 6 + 15);
    EXPECT_GT(table.records[0].sent, hop1Sent);
    ASSERT_EQ(history.count(), 1);
    const RouteEvent& shorter = history.newest(0);
    EXPECT_EQ((Values{shorter.hop, shorter.before.address, shorter.after.address, shorter.sent}),
              (Values{3, routerAt(3), kTarget, shorter.received}));
    EXPECT_GT(shorter.sent, 10);
    EXPECT_LT(table.records[2].sent, shorter.sent / 2);  // counting afresh
    // Back: router 3 answers where the target did, and discovery finds routers 4 and 5
    // and the target again, their rows new to the checks.
    script::target(kTarget, 6, 9);
    EXPECT_LE(secondsUntil(route, 3 + 15), 3 + 15);
    run(60);
    EXPECT_EQ((Values{history.count(), history.newest(0).hop, history.newest(0).after.address}),
              (Values{2, 3, routerAt(3)}));
    // Hop 2's router changes, is back while that is being confirmed, then changes for good.
    route[1] = kNewRouter;
    script::router(2, kNewRouter, 2);
    for (int second = 0; second < 30 && watch.hops[1].otherRun < 3; ++second) run(1);
    ASSERT_GE(watch.hops[1].otherRun, 3) << "no change being confirmed at hop 2";
    ASSERT_EQ(history.count(), 2);
    script::router(2, routerAt(2), 2);
    run(1);
    script::router(2, kNewRouter, 2);
    EXPECT_LE(secondsUntil(route, 6 + 15), 6 + 15);
    EXPECT_EQ(history.count(), 3);
}

TEST_F(RouteChecks, EveryHopChangingAtOnceIsFollowedWithinTheBoundAndChecksStayAboutOneASecond) {
    for (const int routers : {15, 45}) {  // slow routers (10 to 150 ms), and many
        const int32_t hopMs = routers < 20 ? 10 : 1;
        trace(routers, {}, 64, hopMs);
        run(30);
        Route moved = routeOf();
        ASSERT_EQ(moved.size(), routers + 1u);
        for (int d = 1; d <= routers; ++d) {
            moved[d - 1] = ip(10, 7, d, 1);
            script::router(d, moved[d - 1], d * hopMs);
        }
        EXPECT_LE(secondsUntil(moved, routers + 1 + 15), routers + 1 + 15) << routers << " hops";
        EXPECT_EQ(history.changes, routers);
    }
    // The quick checks that did it are paid back at one every ten seconds.
    EXPECT_LE(run(600), 600 + kRouteQuickChecks);
}

TEST_F(RouteChecks, AHopLimitAndASilentTailStayWithinWhatWasProbed) {
    trace(5, {}, 3);  // stopped by the hop limit at a router
    script::router(3, kNewRouter, 3);
    run(60);
    EXPECT_EQ(routeOf(), (Route{routerAt(1), routerAt(2), kNewRouter}));
    for (int i = 0; i < script::echoCount(); ++i) ASSERT_LE(script::echoAt(i).timeToLive, 3);
    // Silent from hop 3 on: a router appearing in the tail leaves it, the target
    // appearing there shortens the route.
    trace(2, {}, 40, 1, 99);
    ASSERT_EQ(table.hopCount, 6);
    script::router(4, kNewRouter, 3);
    run(300);
    EXPECT_EQ(routeOf(), (Route{routerAt(1), routerAt(2), 0, 0, 0, 0}));
    script::silent(4);
    script::target(kTarget, 5, 9);
    run(300);
    EXPECT_EQ(routeOf(), (Route{routerAt(1), routerAt(2), 0, 0, kTarget}));
}

TEST_F(RouteChecks, TheHistoryKeepsTheNewestAndCopiesThemNewestFirst) {
    trace(2);
    HopRecord after = table.records[1];
    copyBounded(after.addressText, "10.8.8.8");
    copyBounded(after.hostName, "new.example");
    for (int i = 0; i < kRouteHistoryCapacity + 10; ++i) history.addChange(stampOf(i * 1000), i, table.records[1], after);
    EXPECT_EQ((Values{history.count(), history.changes}), (Values{kRouteHistoryCapacity, kRouteHistoryCapacity + 10}));
    char text[kRouteHistoryCapacity * 200];
    const size_t length = formatRouteHistoryText(history, text, sizeof text);
    ASSERT_LT(length, sizeof text);
    const std::string first(text, std::string(text).find('\n') + 1);
    EXPECT_EQ(first, "2026-12-08 10:04:25\t265\tchanged\t10.0.2.1\t1\t1\t2 ms\t2 ms\t2 ms\t10.8.8.8 new.example\r\n");
    EXPECT_EQ(formatRouteHistoryText(history, text, 10), length);  // sized by a short call
    EXPECT_EQ(text[0], '\0');
}

}  // namespace
