// The timeline's tab-separated text with local time stamps.
#include "timeline/timeline_text.h"

#include <cstdio>
#include <cstring>

namespace {

// One bucket's line; the time fields of an all-lost bucket stay empty.
int formatLine(const TimelineBucket& bucket, const WallTime& t, char (&line)[kMaxTimelineLineLength]) {
    int length = std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d\t%d\t%d", t.year, t.month, t.day,
                               t.hour, t.minute, t.second, bucket.sent, bucket.answered);
    if (length < 0 || length >= static_cast<int>(sizeof line)) return 0;
    const int rest = bucket.answered > 0
                         ? std::snprintf(line + length, sizeof line - length, "\t%d\t%d\t%d\r\n", bucket.bestMs,
                                         bucket.averageMs(), bucket.worstMs)
                         : std::snprintf(line + length, sizeof line - length, "\t\t\t\r\n");
    if (rest < 0 || rest >= static_cast<int>(sizeof line) - length) return 0;
    return length + rest;
}

}  // namespace

size_t formatTimelineText(const HopTimeline& timeline, TimelineSpan span, int64_t nowMs, const TimelineClock& clock,
                          char* out, size_t capacity) {
    const SpanShape shape = spanShape(span);
    const int64_t newestStartMs = (nowMs < 0 ? 0 : nowMs) / shape.bucketMs * shape.bucketMs;
    const int64_t oldestStartMs = newestStartMs - (shape.bucketCount - 1) * shape.bucketMs;
    const LocalOffsets offsets = localOffsetsOver(clock.localOffsetAt, clock.utcSecondOf(oldestStartMs),
                                                  clock.utcSecondOf(newestStartMs));
    size_t total = 0;
    bool fits = true;
    if (capacity > 0) out[0] = '\0';
    for (int32_t i = 0; i < shape.bucketCount; ++i) {
        const TimelineBucket* bucket = timeline.bucketAt(span, nowMs, i);
        if (bucket == nullptr) continue;
        const int64_t startSecond = clock.utcSecondOf(oldestStartMs + i * shape.bucketMs);
        char line[kMaxTimelineLineLength];
        const int length = formatLine(*bucket, wallTimeAt(startSecond * 1000, offsets.minutesAt(startSecond)), line);
        fits = fits && total + length < capacity;
        if (fits) std::memcpy(out + total, line, static_cast<size_t>(length) + 1);
        total += static_cast<size_t>(length);
    }
    return total;
}

void formatTimelineTitle(int32_t hopNumber, const HopRecord& record, char* out, size_t capacity) {
    if (capacity == 0) return;
    const bool named = record.hostName[0] != '\0';
    std::snprintf(out, capacity, "Hop %d - %.*s%s%.*s", hopNumber, static_cast<int>(sizeof record.addressText),
                  record.addressText, named ? " " : "", static_cast<int>(sizeof record.hostName), record.hostName);
}
