// The route checks' evidence per hop, their verdict, and their schedule.
#include "route/route_watch.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// otherRun stops growing here: a run this long decides long before.
constexpr int32_t kLongestRun = 1 << 30;

// The hop's router answers count first in its shares; later routers in order of arrival.
void countAnswer(HopChecks& hop, uint32_t address) {
    for (RouterShare& share : hop.routers) {
        if (share.address == address || share.address == 0) {
            share.address = address;
            ++share.answers;
            return;
        }
    }
    ++hop.otherAnswers;
}

void restartHop(HopChecks& hop, uint32_t rowAddress) {
    std::memset(&hop, 0, sizeof hop);
    hop.rowAddress = rowAddress;
    hop.routers[0].address = rowAddress;
}

// The run's answers kept, and answer `age` of them (0 = the newest).
int32_t runKept(const HopChecks& hop) {
    return hop.otherRun < kRouteBalancedConfirmChecks ? hop.otherRun : kRouteBalancedConfirmChecks;
}
const OtherAnswer& runAnswer(const HopChecks& hop, int32_t age) {
    return hop.others[(hop.otherRun - 1 - age) % kRouteBalancedConfirmChecks];
}

// The router that answered most often in the run (the newest of those that tie), with
// its newest answer.
OtherAnswer runLeader(const HopChecks& hop) {
    const int32_t length = runKept(hop);
    OtherAnswer leader{};
    int32_t leaderCount = 0;
    for (int32_t age = 0; age < length; ++age) {  // newest first
        const OtherAnswer& candidate = runAnswer(hop, age);
        int32_t count = 0;
        for (int32_t other = 0; other < length; ++other) {
            count += runAnswer(hop, other).address == candidate.address ? 1 : 0;
        }
        if (count > leaderCount) {
            leader = candidate;
            leaderCount = count;
        }
    }
    return leader;
}

// The routers told apart among the run's latest answers.
int32_t runRouters(const HopChecks& hop) {
    int32_t routers = 0;
    for (int32_t age = 0; age < runKept(hop); ++age) {
        bool seen = false;
        for (int32_t newer = 0; newer < age && !seen; ++newer) {
            seen = runAnswer(hop, newer).address == runAnswer(hop, age).address;
        }
        routers += seen ? 0 : 1;
    }
    return routers;
}

// Answers in a row that a router taking `share` of the probes misses with odds of 1 in
// 2^bits: (1 - share)^run <= 2^-bits.
int32_t runForOdds(double share, int32_t bits) {
    if (share <= 0.0) return 1;
    if (share >= 1.0) return bits;
    const double run = std::ceil(bits / -std::log2(1.0 - share) - 1e-9);
    return run < kLongestRun ? static_cast<int32_t>(run) : kLongestRun;
}

int64_t budgetCapMs(const HopTable& table) { return 2 * kRouteTimeShare * table.effectiveTimeoutMs(); }

// A hop whose latest check waited in vain is checked only when the budget can pay for
// a whole timeout again: silent hops are spaced out instead of slowing every check.
int64_t quietCostMs(const HopTable& table) { return kRouteTimeShare * table.effectiveTimeoutMs(); }

}  // namespace

// The row's router's share counts the answer that wrote the row as one of its own.
int32_t HopChecks::balancedRun() const {
    const int64_t rowAnswers = routers[0].address == rowAddress ? routers[0].answers : 0;
    const int64_t before = answered - otherRun;
    const int32_t run = runForOdds(static_cast<double>(rowAnswers + 1) / static_cast<double>(before + 1),
                                   kRouteBalancedOddsBits);
    return run > kRouteBalancedConfirmChecks ? run : kRouteBalancedConfirmChecks;
}

bool HopChecks::balanced() const {
    if (mixedBeforeAt == 0) return false;
    const int32_t run = balancedRun();
    return mixedAt - mixedBeforeAt < run && answered - mixedAt < run;
}

int32_t HopChecks::confirmChecks() const {
    if (balanced()) return balancedRun();
    const int32_t routersInRun = runRouters(*this);
    if (routersInRun <= 1) return kRouteConfirmChecks;
    return runForOdds(1.0 / (routersInRun + 1), kRouteChangeOddsBits);
}

int32_t routeCheckLimit(const HopTable& table) {
    const int32_t limit = table.hopCount < table.traceLimit() ? table.hopCount : table.traceLimit();
    if (limit < 0) return 0;
    return limit < kMaxRecords ? limit : kMaxRecords;
}

RouteWatch::RouteWatch() { reset(); }

void RouteWatch::reset() {
    for (HopChecks& hop : hops) restartHop(hop, 0);
    cursor = 0;
    focusCursor = 0;
    quietCursor = 0;
    lastCheckMs = -1;
    lastAnsweredMs = 0;
    budgetMs = 0;
    budgetAtMs = -1;
    quickChecks = kRouteQuickChecks;
    quickAtMs = -1;
    quickDueMs = INT64_MAX;
    quickBudgetMs = kRouteTimeShare * kRouteQuickTimeMs;
    quickPaid = false;
}

// A row written since its checks began (a new trace, discovery, a rewrite) starts its
// evidence afresh, and so does one that a shorter route left behind, for discovery may
// find its router there again later: its old run would make that router's answer look
// like load balancing.
void RouteWatch::syncRows(const HopTable& table, int32_t limit) {
    for (int32_t i = limit; i < kMaxRecords; ++i) {
        if (hops[i].rowAddress != 0 || hops[i].otherRun != 0) restartHop(hops[i], 0);
    }
    for (int32_t i = 0; i < limit; ++i) {
        if (hops[i].rowAddress == table.records[i].address) continue;
        // When it was last checked still holds: no sweep of a row its change just wrote.
        const int64_t checkedMs = hops[i].checkedMs;
        restartHop(hops[i], table.records[i].address);
        hops[i].checkedMs = checkedMs;
    }
}

void RouteWatch::refreshBudget(const HopTable& table, int64_t nowMs) {
    const int64_t cap = budgetCapMs(table);
    if (budgetAtMs < 0) {
        budgetMs = cap;
    } else if (nowMs > budgetAtMs) {
        budgetMs += nowMs - budgetAtMs;
    }
    if (budgetMs > cap) budgetMs = cap;
    if (nowMs > budgetAtMs) quickBudgetMs += nowMs - budgetAtMs;
    if (quickBudgetMs > kRouteTimeShare * kRouteQuickTimeMs) quickBudgetMs = kRouteTimeShare * kRouteQuickTimeMs;
    budgetAtMs = nowMs;
}

// A hop still to sweep after a change, else the hop under suspicion to check next, or -1
// (and when the next of them is due). A quick check (`counted`) of a hop that answers is
// paid from the quick checks' budget while it holds (`paid`), so that a route changed at
// every hop is followed within seconds even where its routers are slow; else it borrows
// up to one full budget. A silent hop's check waits for the budget to pay its timeout.
int32_t RouteWatch::quickHop(const HopTable& table, int32_t limit, int64_t nowMs, bool counted, bool paid) {
    quickDueMs = INT64_MAX;
    const bool payable = paid || budgetMs >= -budgetCapMs(table);
    // The sweep first: hops under suspicion that are slow to answer would otherwise be
    // due again before the sweep ever reached the hops after them. Once no quick check
    // is left, the one a second goes to the hops under suspicion alone.
    for (int32_t hop = 0; hop < limit; ++hop) {
        if (!hops[hop].sweep) continue;
        if (hops[hop].quiet) {  // a silent hop waits for its turn: a timeout is costly
            hops[hop].sweep = false;
        } else if (counted && payable) {
            hops[hop].sweep = false;
            return hop;
        }
    }
    for (int32_t i = 0; i < limit; ++i) {
        const int32_t hop = (focusCursor + i) % limit;
        const HopChecks& checks = hops[hop];
        const bool suspect = checks.otherRun > 0 && checks.otherRun < checks.confirmChecks() && !checks.balanced();
        const bool affordable = checks.quiet ? budgetMs >= quietCostMs(table) : payable;
        if (!suspect || !affordable) continue;
        const int64_t dueMs = checks.checkedMs + kRouteQuickGapMs;
        if (nowMs >= dueMs) {
            focusCursor = (hop + 1) % limit;
            return hop;
        }
        if (dueMs < quickDueMs) quickDueMs = dueMs;
    }
    return -1;
}

int32_t RouteWatch::dueHop(const HopTable& table, int64_t nowMs) {
    // Asked before every engine step: between checks this is all it costs.
    const int64_t sinceMs = nowMs - lastCheckMs;
    if (lastCheckMs >= 0 && sinceMs < kRouteCheckGapMs && nowMs < quickDueMs) return -1;
    if (!table.isRunning() || !table.traceComplete()) return -1;
    const int32_t limit = routeCheckLimit(table);
    if (limit == 0) return -1;
    syncRows(table, limit);
    refreshBudget(table, nowMs);
    if (quickAtMs < 0) quickAtMs = nowMs;
    for (; quickChecks < kRouteQuickChecks && nowMs - quickAtMs >= kRouteQuickRefillMs; quickAtMs += kRouteQuickRefillMs) {
        ++quickChecks;
    }
    if (quickChecks == kRouteQuickChecks) quickAtMs = nowMs;
    // The first check comes a gap after the monitor phase began: discovery has just heard
    // every router.
    if (lastCheckMs < 0) {
        lastCheckMs = nowMs;
        return -1;
    }
    const bool quick = sinceMs < kRouteCheckGapMs;
    const bool counted = quickChecks > 0;
    if (!quick || counted) {
        const bool paid = counted && quickBudgetMs > 0;
        const int32_t hop = quickHop(table, limit, nowMs, counted, paid);
        if (hop >= 0) {
            quickChecks -= counted ? 1 : 0;
            quickPaid = paid;
            return hop;
        }
    } else {
        quickDueMs = lastCheckMs + kRouteCheckGapMs;  // none left: the one a second goes on
    }
    if (quick || budgetMs < 0) return -1;
    // An answered check that took long is followed by kRouteTimeShare times as long
    // without another, so that checks keep to their share from the first one on: the
    // budget alone would let them spend all it holds at the start first, which on a
    // route of slow hops takes minutes.
    if (nowMs - lastCheckMs < kRouteTimeShare * lastAnsweredMs) return -1;
    // Silent hops take their own turns whenever the budget pays for a timeout, so that
    // the first of them cannot keep the others from ever being checked.
    for (int32_t i = 0; i < limit && budgetMs >= quietCostMs(table); ++i) {
        const int32_t hop = (quietCursor + i) % limit;
        if (hops[hop].quiet) {
            quietCursor = (hop + 1) % limit;
            return hop;
        }
    }
    for (int32_t i = 0; i < limit; ++i) {
        const int32_t hop = (cursor + i) % limit;
        if (!hops[hop].quiet) {
            cursor = (hop + 1) % limit;
            return hop;
        }
    }
    return -1;
}

// A change may not take the trace past what it probed: a router found in the silent
// tail of a trace that ended there would resume discovery. The target found earlier
// (a shorter route) and a router where the target was (a longer one) always apply.
bool RouteWatch::applicable(const HopTable& table, int32_t hopIndex, uint32_t router) const {
    const int32_t last = table.hopCount - 1;
    if (router == table.target || table.hopCount >= table.traceLimit()) return true;
    if (table.records[last].address == table.target) return true;
    int32_t tail = 0;
    int32_t i = last;
    for (; i > hopIndex && table.records[i].address == 0; --i) ++tail;
    if (i > hopIndex || table.records[hopIndex].address != 0) return true;  // the tail stays as it is
    return table.hopCount >= kSilentTailMinHops && tail >= kSilentTailLength;
}

// The target confirmed at a hop waits while a hop before it is still to be looked at or
// found the target too in the run under way: the route ends there, not at the first hop
// whose run happened to be complete (which would log a change at a hop the route no
// longer reaches, and show the hops between for a while). A hop gone silent holds
// nothing up, nor a sweep that waits for quick checks when none is left.
bool RouteWatch::targetNearer(const HopTable& table, int32_t hopIndex, uint32_t router) const {
    if (router != table.target) return false;
    for (int32_t i = 0; i < hopIndex; ++i) {
        const HopChecks& before = hops[i];
        const bool target = before.otherRun > 0 && runAnswer(before, 0).address == router;
        if ((before.sweep && quickChecks > 0) || (target && !before.quiet && !before.balanced())) return true;
    }
    return false;
}

RouteFinding RouteWatch::observe(const HopTable& table, int32_t hopIndex, bool answered, const EchoResult& reply,
                                 int64_t startedMs, int64_t endedMs) {
    RouteFinding finding{RouteVerdict::kNone, {}};
    const int32_t limit = routeCheckLimit(table);
    if (hopIndex < 0 || hopIndex >= limit) return finding;
    syncRows(table, limit);
    refreshBudget(table, endedMs);
    lastCheckMs = startedMs;
    lastAnsweredMs = 0;
    quickDueMs = startedMs;  // looked at afresh from the next tick on
    HopChecks& hop = hops[hopIndex];
    hop.checkedMs = startedMs;
    const bool quiet = !answered || reply.replyAddress == 0;
    int64_t& payer = quickPaid && !quiet ? quickBudgetMs : budgetMs;
    if (endedMs > startedMs) payer -= kRouteTimeShare * (endedMs - startedMs);
    quickPaid = false;
    if (quiet) {
        hop.quiet = true;
        return finding;
    }
    if (endedMs > startedMs) lastAnsweredMs = endedMs - startedMs;
    hop.quiet = false;
    ++hop.answered;
    countAnswer(hop, reply.replyAddress);
    if (reply.replyAddress == hop.rowAddress) {
        if (hop.otherRun > 0) {
            hop.mixedBeforeAt = hop.mixedAt;
            hop.mixedAt = hop.answered;
        }
        hop.otherRun = 0;
    } else {
        hop.others[hop.otherRun % kRouteBalancedConfirmChecks] = OtherAnswer{reply.replyAddress, reply.roundTripMs};
        if (hop.otherRun < kLongestRun) ++hop.otherRun;
        // The target answering here answers every hop from where it is now: the hops
        // before are looked at at once, for it may be nearer still.
        if (hop.otherRun == 1 && reply.replyAddress == table.target) {
            for (int32_t i = 0; i < hopIndex; ++i) hops[i].sweep = hops[i].otherRun == 0;
        }
    }
    if (hop.balanced()) {
        finding.verdict = RouteVerdict::kBalanced;
        return finding;
    }
    if (hop.otherRun < hop.confirmChecks()) return finding;
    const OtherAnswer leader = runLeader(hop);
    if (!applicable(table, hopIndex, leader.address) || targetNearer(table, hopIndex, leader.address)) return finding;
    finding.verdict = RouteVerdict::kChanged;
    finding.reply = EchoResult{leader.address, 0, leader.roundTripMs};
    // Where one router changed, others often did too: each hop is looked at again soon,
    // but for those under suspicion already and those looked at lately (as a route that
    // changed at every hop is followed, a sweep after each change would check every hop
    // once per hop).
    for (int32_t i = 0; i < limit; ++i) {
        hops[i].sweep = i != hopIndex && hops[i].otherRun == 0 && startedMs - hops[i].checkedMs >= kRouteSweepAgeMs;
    }
    return finding;
}
