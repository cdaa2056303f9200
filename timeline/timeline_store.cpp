// The per-hop bucket rings and their feeding from the engine's record counters.
#include "timeline/timeline_store.h"

#include <cstring>
#include <new>

namespace {

constexpr TimelineBucket kEmptyBucket{-1, 0, 0, 0, 0, 0};

int32_t saturated(int64_t value) {
    return value > INT32_MAX ? INT32_MAX : (value < 0 ? 0 : static_cast<int32_t>(value));
}

void emptyAll(TimelineBucket* buckets, int32_t count) {
    for (int32_t i = 0; i < count; ++i) buckets[i] = kEmptyBucket;
}

int64_t heldTime(int64_t nowMs) { return nowMs < 0 ? 0 : (nowMs > kLatestTimeMs ? kLatestTimeMs : nowMs); }

void addToRing(TimelineBucket* ring, int32_t size, int32_t key, const TimelineBucket& echoes) {
    TimelineBucket& slot = ring[key % size];
    if (slot.key != key) {
        slot = kEmptyBucket;
        slot.key = key;
    }
    slot.add(echoes);
}

SeenCounters countersOf(const HopRecord& record) {
    return SeenCounters{record.sent, record.received, record.totalMs, record.bestMs, record.worstMs};
}

}  // namespace

void TimelineBucket::add(const TimelineBucket& other) {
    if (other.answered > 0) {
        if (answered == 0 || other.bestMs < bestMs) bestMs = other.bestMs;
        if (answered == 0 || other.worstMs > worstMs) worstMs = other.worstMs;
    }
    sent = saturated(static_cast<int64_t>(sent) + other.sent);
    answered = saturated(static_cast<int64_t>(answered) + other.answered);
    totalMs = saturated(static_cast<int64_t>(totalMs) + other.totalMs);
}

SpanShape spanShape(TimelineSpan span) {
    switch (span) {
        case TimelineSpan::OneHour: return SpanShape{kSecondBuckets, kMsPerSecond};
        case TimelineSpan::OneDay: return SpanShape{kMinuteBuckets, kMsPerMinute};
        default: return SpanShape{600, kMsPerSecond};
    }
}

void HopTimeline::clear() {
    emptyAll(seconds, kSecondBuckets);
    emptyAll(minutes, kMinuteBuckets);
    marksAdded = 0;
}

void HopTimeline::add(const TimelineBucket& echoes, int64_t nowMs) {
    nowMs = heldTime(nowMs);
    addToRing(seconds, kSecondBuckets, static_cast<int32_t>(nowMs / kMsPerSecond), echoes);
    addToRing(minutes, kMinuteBuckets, static_cast<int32_t>(nowMs / kMsPerMinute), echoes);
}

const TimelineBucket* HopTimeline::bucketAt(TimelineSpan span, int64_t nowMs, int32_t index) const {
    const SpanShape shape = spanShape(span);
    if (index < 0 || index >= shape.bucketCount) return nullptr;
    const int64_t key = heldTime(nowMs) / shape.bucketMs - (shape.bucketCount - 1 - index);
    if (key < 0) return nullptr;
    const TimelineBucket* ring = shape.bucketMs == kMsPerMinute ? minutes : seconds;
    const int32_t size = shape.bucketMs == kMsPerMinute ? kMinuteBuckets : kSecondBuckets;
    const TimelineBucket& slot = ring[key % size];
    return slot.key == key && slot.hasEchoes() ? &slot : nullptr;
}

void HopTimeline::addMark(int64_t nowMs) {
    markSeconds[marksAdded % kTimelineMarks] = static_cast<int32_t>(heldTime(nowMs) / kMsPerSecond);
    if (++marksAdded == 2 * kTimelineMarks) marksAdded = kTimelineMarks;  // the ring stays full
}

int32_t HopTimeline::marksHeld() const { return marksAdded < kTimelineMarks ? marksAdded : kTimelineMarks; }

int32_t HopTimeline::markIndex(TimelineSpan span, int64_t nowMs, int32_t mark) const {
    const SpanShape shape = spanShape(span);
    const int64_t key = markSeconds[mark] * kMsPerSecond / shape.bucketMs;
    const int64_t index = key - heldTime(nowMs) / shape.bucketMs + shape.bucketCount - 1;
    return index >= 0 && index < shape.bucketCount ? static_cast<int32_t>(index) : -1;
}

TimelineBucket echoesSince(const SeenCounters& before, const HopRecord& record) {
    const bool fresh = record.sent < before.sent || record.received < before.received;
    const SeenCounters from = fresh ? SeenCounters{0, 0, 0, 0, 0} : before;
    TimelineBucket echoes = kEmptyBucket;
    echoes.sent = saturated(record.sent - from.sent);
    echoes.answered = saturated(record.received - from.received);
    echoes.totalMs = saturated(record.totalMs - from.totalMs);
    if (echoes.answered == 1) {
        echoes.bestMs = echoes.worstMs = echoes.totalMs;
    } else if (echoes.answered > 1) {
        echoes.bestMs = echoes.worstMs = record.lastMs;
        if (fresh || record.bestMs < from.bestMs) echoes.bestMs = record.bestMs;
        if (fresh || record.worstMs > from.worstMs) echoes.worstMs = record.worstMs;
    }
    return echoes;
}

TimelineStore::TimelineStore() {
    for (HopTimeline*& timeline : hops) timeline = nullptr;
    std::memset(seen, 0, sizeof seen);
}

TimelineStore::~TimelineStore() {
    for (HopTimeline* timeline : hops) delete timeline;
}

// A hop's rings, taken when it first needs them; null when there is no memory (the hop
// then goes without a timeline).
HopTimeline* TimelineStore::held(int32_t index) {
    if (hops[index] == nullptr) {
        hops[index] = new (std::nothrow) HopTimeline;
        if (hops[index] != nullptr) hops[index]->clear();
    }
    return hops[index];
}

void TimelineStore::feed(const HopRecord* records, int32_t count, int64_t nowMs) {
    if (count > kMaxRecords) count = kMaxRecords;
    for (int32_t i = 0; i < count; ++i) {
        const HopRecord& record = records[i];
        const SeenCounters& before = seen[i];
        if (record.sent == before.sent && record.received == before.received) continue;
        const TimelineBucket echoes = echoesSince(before, record);
        seen[i] = countersOf(record);
        if (echoes.hasEchoes() && held(i) != nullptr) hops[i]->add(echoes, nowMs);
    }
}

void TimelineStore::markChange(int32_t index, int64_t nowMs) {
    if (index < 0 || index >= kMaxRecords) return;
    seen[index] = SeenCounters{0, 0, 0, 0, 0};
    if (held(index) != nullptr) hops[index]->addMark(nowMs);
}

void TimelineStore::clear() {
    for (HopTimeline* timeline : hops) {
        if (timeline != nullptr) timeline->clear();
    }
    std::memset(seen, 0, sizeof seen);
}

const HopTimeline* TimelineStore::hop(int32_t index) const {
    return index >= 0 && index < kMaxRecords ? hops[index] : nullptr;
}

int32_t TimelineStore::hopsHeld() const {
    int32_t held = 0;
    for (const HopTimeline* timeline : hops) held += timeline != nullptr ? 1 : 0;
    return held;
}
