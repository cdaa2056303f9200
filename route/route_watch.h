// What the route checks saw at each hop, and the rule that turns it into a verdict.
// While the table monitors its hops, a check is one echo to the target with
// time-to-live k: whoever answers is the router at hop k now. A hop's router has
// changed when several answers in a row came from another router and none from the
// row's own; a hop where the row's router keeps answering again after others did is
// load balanced and keeps its router. No answer is no evidence. The watch also says which
// hop to check when, so that checks stay a small share of the program's time. Pure:
// the caller sends the echo (route_check.h) and passes the times in.
#pragma once

#include <cstdint>

#include "engine/hop_table.h"

// How many answers in a row from other routers confirm a change: enough that a row's
// router still there, taking its share of the probes at a load-balanced hop (routers
// that hash each echo another way), would have answered one of them but for odds of
// 1 in 2^bits. At a hop not seen balanced the row's router would answer as often as each
// router of the run: one new router takes kRouteConfirmChecks answers, a run that mixes
// two takes 18, three 25. A hop seen balanced needs longer odds, since such runs begin
// again and again there, and goes by the row's router's share of the answers seen: 20
// answers at a half, 35 at a third, 49 at a quarter, never fewer than
// kRouteBalancedConfirmChecks.
constexpr int32_t kRouteChangeOddsBits = 10;
constexpr int32_t kRouteBalancedOddsBits = 20;
constexpr int32_t kRouteConfirmChecks = 10;
constexpr int32_t kRouteBalancedConfirmChecks = 16;
// Routers told apart at one hop for the load-balancing shares; more count as "others".
constexpr int32_t kRouteMaxRouters = 4;
// At most one check a second as the checks go round the hops.
constexpr int64_t kRouteCheckGapMs = 1000;
// A hop under suspicion is checked again this soon after its previous check (so that
// the answers that confirm a change still span a few seconds: a passing blip is no
// change), and after a confirmed change every other hop once at once. These quick
// checks go before the engine's steps and before the one a second, so that a route that
// changed at many hops is followed within seconds, not one hop every few seconds. They
// are limited by their count: at most kRouteQuickChecks at once, one more every
// kRouteQuickRefillMs, so that over any longer time checks stay about one a second. Those
// of hops that answer are paid from a time budget of their own beside the one below (a
// route of 30 slow hops that all changed needs 300 of them, 46 s of checks, at once):
// kRouteQuickTimeMs of checks at once, the same share of the time over longer times.
constexpr int64_t kRouteQuickGapMs = 500;
constexpr int32_t kRouteQuickChecks = 512;
constexpr int64_t kRouteQuickRefillMs = 10000;
constexpr int64_t kRouteQuickTimeMs = 60000;
// A hop checked this recently is not swept again after a change.
constexpr int64_t kRouteSweepAgeMs = 10000;
// Checks may take at most 1/kRouteTimeShare of the time, so the monitor phase keeps the
// rest of its echo rate: a check that waited for an echo's timeout is paid for by
// kRouteTimeShare times that long without costly checks.
constexpr int64_t kRouteTimeShare = 25;

struct RouterShare {
    uint32_t address;
    int64_t answers;
};

// One answer that was not the row's router.
struct OtherAnswer {
    uint32_t address;
    int32_t roundTripMs;
};

// What the checks of one hop saw since its row got its current router.
struct HopChecks {
    uint32_t rowAddress;  // the row's router these checks compare with
    int64_t answered;     // checks that got an answer
    // The latest answers in a row that were not the row's router; the newest at
    // (otherRun - 1) % kRouteBalancedConfirmChecks.
    int32_t otherRun;
    OtherAnswer others[kRouteBalancedConfirmChecks];
    // The answer counts at which the row's router last answered after another had, and
    // the time before that: 0 = never.
    int64_t mixedAt;
    int64_t mixedBeforeAt;
    bool quiet;     // the latest check got no answer
    bool sweep;     // to be checked soon: another hop's router changed
    int64_t checkedMs;  // when its latest check started
    RouterShare routers[kRouteMaxRouters];  // who answered, the row's router first
    int64_t otherAnswers;                   // answers of routers beyond that list

    // Load balanced: the row's router answered after another twice, the second time and
    // the latest answer each within the run that confirms a change at such a hop. Once is
    // not enough: a route that went back to the row's router for a moment while a change
    // was being confirmed, then changed for good, would wait for a balanced hop's long run
    // at one check per round of the hops, minutes on a long route.
    bool balanced() const;
    int32_t balancedRun() const;
    // The run of answers from other routers that confirms a change now.
    int32_t confirmChecks() const;
};

enum class RouteVerdict : int32_t {
    kNone = 0,
    kChanged,   // the hop's router changed to `router`: rewrite its row
    kBalanced,  // the hop is load balanced (and its row keeps its router)
};

struct RouteFinding {
    RouteVerdict verdict;
    EchoResult reply;  // kChanged: the newest answer of the new router
};

struct RouteWatch {
    RouteWatch();

    // Forgets every hop and the schedule: a new trace.
    void reset();
    // The hop (0-based) to check at `nowMs`, or -1 when none is due: only while the
    // table is running and in its monitor phase, over the hops it probed within its hop
    // limit, the first a gap after the monitor phase began (discovery has just heard
    // every router). Hops whose latest answer came from another router are checked first.
    int32_t dueHop(const HopTable& table, int64_t nowMs);
    // Takes the outcome of the check of `hopIndex` that ran from `startedMs` to
    // `endedMs` (answered, with `reply`, or not) and gives the verdict on that hop.
    RouteFinding observe(const HopTable& table, int32_t hopIndex, bool answered, const EchoResult& reply,
                         int64_t startedMs, int64_t endedMs);

    HopChecks hops[kMaxRecords];
    int32_t cursor;        // the next hop of the rotation
    int32_t focusCursor;   // the next hop to look at among those under suspicion
    int32_t quietCursor;   // the next hop to look at among the silent ones
    // When the latest check started, or before the first when the monitor phase was first
    // seen; -1 before that.
    int64_t lastCheckMs;
    int64_t lastAnsweredMs;  // how long the latest check took when it was answered, else 0
    // Wall time that pays for checks: it grows with the time that passes and a check of
    // E ms costs kRouteTimeShare * E, so over time checks take at most their share.
    // Held at most at two echo timeouts' worth; -1 before the first look.
    int64_t budgetMs;
    int64_t budgetAtMs;  // when the budget was last brought up to date
    int32_t quickChecks;   // quick checks that may still be made
    int64_t quickAtMs;     // when the latest of them was given back; -1: not yet
    int64_t quickDueMs;    // no hop wants a quick check before this
    // The quick checks' own budget, as budgetMs (kRouteTimeShare * kRouteQuickTimeMs at
    // most), and whether the hop due is paid from it.
    int64_t quickBudgetMs;
    bool quickPaid;

private:
    void syncRows(const HopTable& table, int32_t limit);
    void refreshBudget(const HopTable& table, int64_t nowMs);
    int32_t quickHop(const HopTable& table, int32_t limit, int64_t nowMs, bool counted, bool paid);
    bool applicable(const HopTable& table, int32_t hopIndex, uint32_t router) const;
    bool targetNearer(const HopTable& table, int32_t hopIndex, uint32_t router) const;
};

// How many hops route checks look at: those probed, within the hop limit.
int32_t routeCheckLimit(const HopTable& table);
