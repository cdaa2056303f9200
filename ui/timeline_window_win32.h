// The timeline windows: at most one per hop, owned by the main window, each drawing one
// hop's latency and loss over the last 10 minutes, hour or day.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine/hop_table.h"
#include "timeline/timeline_store.h"
#include "timeline/timeline_text.h"

// The open windows by hop (null = none), and the span each shows.
struct TimelineWindows {
    HWND windows[kMaxRecords];
    TimelineSpan spans[kMaxRecords];
};

// What one timeline window draws: a hop's buckets as they stand at `nowMs`.
struct TimelineScene {
    const HopTimeline* timeline;  // null: the hop has had no echo yet
    TimelineSpan span;
    int64_t nowMs;         // monotonic
    TimelineClock clock;
};

// Paints the scene into `context` over `client`, for a window at `dpi`.
void paintTimeline(HDC context, const RECT& client, uint32_t dpi, const TimelineScene& scene);

// The monotonic clock's time and UTC's offset from it, both in ms.
int64_t monotonicNowMs();
int64_t utcOffsetMs(int64_t monotonicMs);
