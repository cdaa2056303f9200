// The timeline's bucket store fed from record counters, its axis arithmetic and its text,
// and the calendar under them, also in zones with daylight saving (tzdata's rules).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "calendar/system_clock.h"
#include "timeline/timeline_axis.h"
#include "timeline/timeline_text.h"

namespace {

int32_t utcRules(int64_t) { return 0; }
const LocalOffsets kUtc{0, 0, INT64_MAX};

// The rules of the zone `TZ` names while it lives; the process's own zone again after.
struct LocalZone {
    const std::string saved = std::getenv("TZ") != nullptr ? std::getenv("TZ") : "";
    explicit LocalZone(const char* zone) { setenv("TZ", zone, 1), tzset(); }
    ~LocalZone() { saved.empty() ? unsetenv("TZ") : setenv("TZ", saved.c_str(), 1), tzset(); }
};

struct Step {
    int64_t atMs;
    int32_t roundTripMs;  // -1 = the echo was lost
};

// A record as the monitor phase leaves it after each echo of `steps`, fed after each.
struct FedHop {
    HopRecord record{};
    TimelineStore store;

    void run(std::initializer_list<Step> steps) {
        for (const Step& step : steps) {
            ++record.sent;
            if (step.roundTripMs >= 0) answer(step.roundTripMs);
            store.feed(&record, 1, step.atMs);
        }
    }
    void answer(int32_t ms) {
        record.bestMs = record.received == 0 || ms < record.bestMs ? ms : record.bestMs;
        record.worstMs = record.received == 0 || ms > record.worstMs ? ms : record.worstMs;
        ++record.received;
        record.lastMs = ms;
        record.totalMs += ms;
    }
    std::string bucket(TimelineSpan span, int64_t nowMs, int32_t index) const {
        const TimelineBucket* b = store.hop(0)->bucketAt(span, nowMs, index);
        if (b == nullptr) return "empty";
        return std::to_string(b->sent) + " " + std::to_string(b->answered) + " " + std::to_string(b->bestMs) +
               " " + std::to_string(b->averageMs()) + " " + std::to_string(b->worstMs);
    }
    std::string text(TimelineSpan span, int64_t nowMs, int64_t utcOffsetMs, size_t capacity = 4096,
                     LocalOffsetAt rules = utcRules) const {
        char out[4096];
        const size_t length = formatTimelineText(*store.hop(0), span, nowMs, {utcOffsetMs, rules}, out, capacity);
        return std::to_string(length) + ":" + out;
    }
};

const int64_t kLastSecond = 599;  // index of the newest bucket of the 10-minute span

TEST(TimelineStore, CountsEachStepIntoItsSecondAndMinute) {
    FedHop hop;
    hop.run({{500, 10}, {800, 30}, {1200, -1}, {1500, 5}, {61000, 0}, {61500, HopTable::kMaxTimeoutMs}});
    EXPECT_EQ(hop.bucket(TimelineSpan::TenMinutes, 1999, kLastSecond - 1), "2 2 10 20 30");
    EXPECT_EQ(hop.bucket(TimelineSpan::TenMinutes, 1999, kLastSecond), "2 1 5 5 5");
    EXPECT_EQ(hop.bucket(TimelineSpan::TenMinutes, 61999, kLastSecond), "2 2 0 30000 60000");
    EXPECT_EQ(hop.bucket(TimelineSpan::TenMinutes, 61999, kLastSecond - 1), "empty");
    EXPECT_EQ(hop.bucket(TimelineSpan::OneDay, 61999, 1438), "4 3 5 15 30");
    EXPECT_EQ(hop.bucket(TimelineSpan::OneDay, 61999, 1439), "2 2 0 30000 60000");

    // A step that counted several answers: the last one and the extremes it moved are exact.
    FedHop several;
    several.run({{500, 20}});
    several.record.sent += 3;
    several.answer(40), several.answer(2), several.answer(9);
    several.store.feed(&several.record, 1, 1000);
    EXPECT_EQ(several.bucket(TimelineSpan::TenMinutes, 1000, kLastSecond), "3 3 2 17 40");
    // A record written afresh (a new trace without a clear) counts all of its echoes.
    hop.record = HopRecord{};
    hop.run({{63000, 7}});
    EXPECT_EQ(hop.bucket(TimelineSpan::TenMinutes, 63000, kLastSecond), "1 1 7 7 7");
    // So does one rewritten for a route change with the same counts, once marked.
    hop.store.markChange(0, 64000);
    hop.store.feed(&hop.record, 1, 64000);
    EXPECT_EQ(hop.bucket(TimelineSpan::TenMinutes, 64000, kLastSecond), "1 1 7 7 7");
}

TEST(TimelineStore, RollsOverInPlaceForDaysAndClearsAtStart) {
    FedHop hop;
    const int64_t days = 2 * 86400;
    for (int64_t second = 0; second < days; ++second) hop.run({{second * 1000 + 300, static_cast<int32_t>(1 + second % 100)}});
    const int64_t nowMs = days * 1000 - 1;
    EXPECT_EQ(hop.store.hopsHeld(), 1);
    EXPECT_LE(sizeof(HopTimeline), 121000u) << "the README's bound per hop";
    for (int32_t i : {0, 1799, 3599}) EXPECT_NE(hop.bucket(TimelineSpan::OneHour, nowMs, i), "empty") << i;
    for (int32_t i : {0, 720, 1439}) EXPECT_EQ(hop.bucket(TimelineSpan::OneDay, nowMs, i).substr(0, 6), "60 60 ") << i;
    EXPECT_EQ(hop.bucket(TimelineSpan::OneHour, nowMs + 3600 * 1000, 0), "empty") << "an hour later";

    hop.store.clear();
    EXPECT_EQ(hop.store.hopsHeld(), 1);
    EXPECT_EQ(hop.bucket(TimelineSpan::OneHour, nowMs, 3599), "empty");
    hop.record = HopRecord{};
    HopRecord silent{};
    hop.store.feed(&silent, 1, nowMs);
    EXPECT_EQ(hop.bucket(TimelineSpan::OneHour, nowMs, 3599), "empty") << "a silent hop counts nothing";
}

// Route changes are marked in the buckets of their moments, the newest kTimelineMarks.
TEST(TimelineStore, MarksRouteChangesInTheirBuckets) {
    TimelineStore store;
    for (int64_t minute = 1; minute <= kTimelineMarks + 2; ++minute) store.markChange(0, minute * 60000 + 2000);
    const HopTimeline& timeline = *store.hop(0);
    std::vector<int32_t> indices;
    for (const TimelineSpan span : {TimelineSpan::TenMinutes, TimelineSpan::OneDay}) {
        for (int32_t mark = 0; mark < timeline.marksHeld(); ++mark) indices.push_back(timeline.markIndex(span, 602999, mark));
    }
    indices.push_back(timeline.markIndex(TimelineSpan::OneDay, 602999 + 86400000, 1));  // a day later
    EXPECT_EQ(indices, (std::vector<int32_t>{539, 599, 179, 239, 299, 359, 419, 479, 1438, 1439, 1432, 1433, 1434,
                                             1435, 1436, 1437, -1}));
    store.clear();
    EXPECT_EQ(timeline.marksHeld(), 0);
}

TEST(TimelineText, OneLinePerBucketWithEchoesLocalTimesMovedByTheClockOnlyAndTheTitle) {
    FedHop hop;
    hop.run({{10200, 12}, {10700, 20}, {11400, -1}, {13100, 0}});
    const int64_t offsetMs = 1796667310LL * 1000 - 10000;  // 10 s of uptime = 2026-12-07 18:15:10
    const std::string lines = "2026-12-07 18:15:10\t2\t2\t12\t16\t20\r\n"
                              "2026-12-07 18:15:11\t1\t0\t\t\t\r\n"
                              "2026-12-07 18:15:13\t1\t1\t0\t0\t0\r\n";
    EXPECT_EQ(hop.text(TimelineSpan::TenMinutes, 13999, offsetMs), std::to_string(lines.size()) + ":" + lines);
    EXPECT_EQ(hop.text(TimelineSpan::TenMinutes, 13999, offsetMs + 3600 * 1000).substr(0, 29),
              "93:2026-12-07 19:15:10\t2\t2\t12");
    EXPECT_EQ(hop.text(TimelineSpan::TenMinutes, 13999, offsetMs, 60), "93:" + lines.substr(0, 34))
        << "only whole lines";
    EXPECT_EQ(hop.text(TimelineSpan::OneDay, 13999, offsetMs), "33:2026-12-07 18:15:00\t4\t3\t0\t10\t20\r\n");

    char title[300];
    std::strcpy(hop.record.addressText, "10.71.3.2");
    for (const char* name : {"", " r3.lab.test"}) {
        std::strcpy(hop.record.hostName, name[0] != '\0' ? name + 1 : name);
        formatTimelineTitle(3, hop.record, title, sizeof title);
        EXPECT_EQ(std::string(title), std::string("Hop 3 - 10.71.3.2") + name);
    }
}

TEST(TimelineAxis, RoundTicksForMillisecondsAndTimes) {
    const struct { int32_t largestMs, maxTicks, stepMs, topMs; } scales[] = {
        {0, 5, 1, 1},         {1, 5, 1, 1},          {7, 5, 2, 8},        {46, 5, 10, 50},
        {999, 5, 200, 1000},  {1001, 5, 500, 1500},  {60000, 5, 20000, 60000}, {60000, 1, 100000, 100000},
        {1999999999, 2, 500000000, 1000000000}, {INT32_MAX, 5, 200000000, 1000000000},
    };
    for (const auto& s : scales) {
        const MsScale scale = msScale(s.largestMs, s.maxTicks);
        EXPECT_EQ(scale.stepMs, s.stepMs) << s.largestMs;
        EXPECT_EQ(scale.topMs, s.topMs) << s.largestMs;
    }
    EXPECT_EQ((std::vector<int64_t>{timeTickSeconds(600, 6), timeTickSeconds(3600, 6), timeTickSeconds(86400, 6),
                                    timeTickSeconds(600, 100), firstTickSecond(61, 60, kUtc),
                                    firstTickSecond(120, 60, kUtc), firstTickSecond(-61, 60, kUtc)}),
              (std::vector<int64_t>{120, 600, 21600, 10, 120, 120, -60}));

    const struct { WallTime time; int64_t utcMs; } dates[] = {
        {{1970, 1, 1, 0, 0, 0, 0, 0}, 0},           {{1969, 12, 31, 23, 59, 59, 999, 0}, -1},
        {{2000, 3, 1, 0, 0, 0, 0, 0}, 951868800000}, {{2024, 2, 29, 23, 59, 59, 0, 0}, 1709251199000},
    };
    for (const auto& d : dates) {
        EXPECT_EQ(utcMsOf(d.time), d.utcMs);
        const WallTime back = wallTimeAt(d.utcMs, 0);
        EXPECT_EQ(std::memcmp(&back, &d.time, sizeof back), 0) << d.utcMs;
    }
}

// Echoes every 30 minutes across a change of the local clock, the day's span copied two
// hours after it: each bucket's time by the rules in force at its own instant, not by
// today's. The axis over the five hours around the change: a tick at each round hour the
// local clock shows (an hour it skips has none, one it shows twice has two), with the
// minutes from the left edge to it. Both changes of Berlin, then the half-hour zones of
// Adelaide (ahead of UTC, clock set back) and St John's (behind, clock set forward).
TEST(TimelineZones, CopyAndAxisByTheRulesOfEachInstantAcrossAChange) {
    const char* const kForward = "00:00@30 01:00@90 03:00@150 04:00@210 05:00@270 ";
    const char* const kBack = "01:00@30 02:00@90 02:00@150 03:00@210 04:00@270 ";
    const struct { const char* zone; int64_t change; const char* copied; const char* axis; } changes[] = {
        {"Europe/Berlin", 1774746000, "2026-03-28 23:59 00:29 00:59 01:29 01:59 03:29 03:59", kForward},
        {"Europe/Berlin", 1792890000, "2026-10-25 00:59 01:29 01:59 02:29 02:59 02:29 02:59", kBack},
        {"Australia/Adelaide", 1775320200, "2026-04-05 00:59 01:29 01:59 02:29 02:59 02:29 02:59", kBack},
        {"America/St_Johns", 1772947800, "2026-03-07 23:59 00:29 00:59 01:29 01:59 03:29 03:59", kForward},
    };
    for (const auto& c : changes) {
        const LocalZone zone(c.zone);
        const int64_t boot = c.change - 20 * 3600;  // monotonic 0
        FedHop hop;
        for (int64_t echo = c.change - 7260; echo < c.change + 3600; echo += 1800) hop.run({{(echo - boot) * 1000, 5}});
        const std::string text =
            hop.text(TimelineSpan::OneDay, (c.change + 7200 - boot) * 1000, boot * 1000, 4096, localOffsetMinutesAt);
        std::string copied = text.substr(text.find(':') + 1, 10);
        for (size_t line = text.find(':') + 1; line < text.size(); line = text.find('\n', line) + 1) {
            copied += " " + text.substr(line + 11, 5);
        }
        const int64_t left = c.change - 150 * 60, right = left + 5 * 3600;
        const LocalOffsets offsets = localOffsetsOver(localOffsetMinutesAt, left, right);
        std::string axis;
        char label[kTimeLabelSize];
        for (int64_t t = firstTickSecond(left, 3600, offsets); t < right; t = firstTickSecond(t + 1, 3600, offsets)) {
            formatTimeLabel(offsets.localSecondOf(t), 3600, label);
            axis += std::string(label) + "@" + std::to_string((t - left) / 60) + " ";
        }
        EXPECT_EQ(copied + " | " + axis, std::string(c.copied) + " | " + c.axis) << c.zone << " " << c.change;
    }
}

}  // namespace
