// The timeline's clipboard form: one line per bucket of the shown span that has echoes,
// oldest first: local date and time (YYYY-MM-DD HH:MM:SS, the bucket's start), echoes
// sent, answered, then best, average and worst round trip in ms (empty when none was
// answered), tab-separated, each line ended by CR LF.
#pragma once

#include <cstddef>
#include <cstdint>

#include "calendar/calendar.h"
#include "timeline/timeline_store.h"

// How the timeline reads the wall clock: a monotonic instant plus `utcOffsetMs` is UTC,
// and local time is UTC plus the offset `localOffsetAt` gives for that instant. The
// caller measures `utcOffsetMs` afresh each time it shows a time, so that a change of the
// wall clock moves only the labels.
struct TimelineClock {
    int64_t utcOffsetMs;  // UTC minus monotonic time, measured now
    LocalOffsetAt localOffsetAt;

    int64_t utcSecondOf(int64_t monotonicMs) const { return floorDiv(monotonicMs + utcOffsetMs, 1000); }
};

// Writes whole lines of the span's text into `out` (capacity bytes, zero included) and
// returns the length of the complete text, so a first call with capacity 0 sizes a buffer.
// Each bucket's start is shown by the local rules in force at that instant.
size_t formatTimelineText(const HopTimeline& timeline, TimelineSpan span, int64_t nowMs, const TimelineClock& clock,
                          char* out, size_t capacity);

// Longest line one bucket can give, its CR LF included.
constexpr size_t kMaxTimelineLineLength = 96;

// A timeline window's title: "Hop N - ADDRESS NAME", the name only when it is known,
// cut to whole characters of `capacity` (zero included).
void formatTimelineTitle(int32_t hopNumber, const HopRecord& record, char* out, size_t capacity);
