// The timeline's clipboard form: one line per bucket of the shown span that has echoes,
// oldest first: local date and time (YYYY-MM-DD HH:MM:SS, the bucket's start), echoes
// sent, answered, then best, average and worst round trip in ms (empty when none was
// answered), tab-separated, each line ended by CR LF.
#pragma once

#include <cstddef>
#include <cstdint>

#include "timeline/timeline_store.h"

// Local wall-clock time of a monotonic instant: the monotonic time plus the offset
// between the two clocks, which the caller measures afresh each time it shows a time, so
// that a change of the wall clock moves only the labels.
inline int64_t localSecondOf(int64_t monotonicMs, int64_t wallOffsetMs) {
    const int64_t wallMs = monotonicMs + wallOffsetMs;
    return wallMs >= 0 ? wallMs / 1000 : -((-wallMs + 999) / 1000);
}

// Writes whole lines of the span's text into `out` (capacity bytes, zero included) and
// returns the length of the complete text, so a first call with capacity 0 sizes a buffer.
size_t formatTimelineText(const HopTimeline& timeline, TimelineSpan span, int64_t nowMs, int64_t wallOffsetMs,
                          char* out, size_t capacity);

// Longest line one bucket can give, its CR LF included.
constexpr size_t kMaxTimelineLineLength = 96;

// A timeline window's title: "Hop N - ADDRESS NAME", the name only when it is known,
// cut to whole characters of `capacity` (zero included).
void formatTimelineTitle(int32_t hopNumber, const HopRecord& record, char* out, size_t capacity);
