// Each hop's echoes over time: one-second buckets for the last hour and one-minute
// buckets for the last day, in rings that never grow, fed from the engine's records by
// comparing their counters after every step; and the moments its router changed. Times
// are milliseconds of a monotonic clock, passed in by the caller.
#pragma once

#include <cstdint>

#include "engine/hop_table.h"

// Echoes counted in one stretch of time. Times are those of the answered echoes.
struct TimelineBucket {
    // Six 32-bit fields keep a bucket at 24 bytes; each count is held at the 32-bit
    // limit rather than wrapped (a minute of echoes is far below it).
    int32_t key;  // the stretch's number (second or minute of the monotonic clock); -1 = unused
    int32_t sent;
    int32_t answered;
    int32_t bestMs;
    int32_t worstMs;
    int32_t totalMs;

    bool hasEchoes() const { return sent > 0; }
    int32_t averageMs() const { return answered > 0 ? totalMs / answered : 0; }
    // Adds another stretch's echoes (a step's, or a neighbour's when several share a pixel).
    void add(const TimelineBucket& other);
};

constexpr int32_t kSecondBuckets = 3600;  // one hour
constexpr int32_t kMinuteBuckets = 1440;  // one day
constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerMinute = 60000;
// Monotonic times beyond this (68 years of uptime) count as this.
constexpr int64_t kLatestTimeMs = INT32_MAX * kMsPerSecond;

// What the user can look at: the last 10 minutes or hour in seconds, the last day in minutes.
enum class TimelineSpan : int32_t { TenMinutes = 0, OneHour = 1, OneDay = 2 };
struct SpanShape {
    int32_t bucketCount;
    int64_t bucketMs;
};
SpanShape spanShape(TimelineSpan span);

// Route changes marked per hop: the newest this many.
constexpr int32_t kTimelineMarks = 8;

struct HopTimeline {
    TimelineBucket seconds[kSecondBuckets];
    TimelineBucket minutes[kMinuteBuckets];
    // The seconds of the monotonic clock at which the hop's router changed, in a ring
    // (the bucket keys' unit, so a mark falls in the bucket of its moment).
    int32_t markSeconds[kTimelineMarks];
    int32_t marksAdded;

    void clear();
    // Counts a step's echoes into the second and the minute that hold `nowMs`; a slot
    // still holding an older stretch is emptied first, so the rings roll over in place.
    void add(const TimelineBucket& echoes, int64_t nowMs);
    // Bucket `index` (0 = oldest, bucketCount - 1 = the one holding `nowMs`) of `span`,
    // or null when nothing was counted in that stretch.
    const TimelineBucket* bucketAt(TimelineSpan span, int64_t nowMs, int32_t index) const;
    void addMark(int64_t nowMs);
    int32_t marksHeld() const;
    // The index of the bucket of `span` at `nowMs` that holds mark `mark` (any order, below
    // marksHeld()), or -1 when the span does not reach back to it.
    int32_t markIndex(TimelineSpan span, int64_t nowMs, int32_t mark) const;
};

// What a record's counters read when the store last looked.
struct SeenCounters {
    int64_t sent;
    int64_t received;
    int64_t totalMs;
    int32_t bestMs;
    int32_t worstMs;
};

// The step's echoes to one hop, worked out from its record's counters now and before.
// The engine sends one echo per monitor step, whose time is then exact; when a step
// counted several answers, its extremes are the ones the counters reveal: the last
// answer, and a best or worst that moved. Counters below the last look mean the record
// was written afresh (a new trace), so all of it is new.
TimelineBucket echoesSince(const SeenCounters& before, const HopRecord& record);

struct TimelineStore {
    TimelineStore();
    ~TimelineStore();
    TimelineStore(const TimelineStore&) = delete;
    TimelineStore& operator=(const TimelineStore&) = delete;

    // Counts what each of the first `count` records did since the last look.
    void feed(const HopRecord* records, int32_t count, int64_t nowMs);
    // Empties every timeline, keeping the memory already taken.
    void clear();
    // Hop `index`'s router changed at `nowMs`, or the hop left the route: a mark in its
    // timeline, and its record, written afresh, counts from zero at the next feed.
    void markChange(int32_t index, int64_t nowMs);
    // The hop's timeline (0-based), or null when it has never had an echo or a change.
    const HopTimeline* hop(int32_t index) const;
    int32_t hopsHeld() const;

    // A hop's rings are taken the first time it has an echo and kept (emptied at a clear)
    // for the program's life, so memory follows the longest route seen and never time.
    HopTimeline* hops[kMaxRecords];
    SeenCounters seen[kMaxRecords];

private:
    HopTimeline* held(int32_t index);
};
