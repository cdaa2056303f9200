// Timeline paint cost: one hop with a full day of echoes (every second answered, every
// third echo lost) painted into a memory bitmap of a usual window size, for each span;
// prints the milliseconds per paint, from which the share of the main loop that open
// timeline windows take follows (paints per second times this).
#include <windows.h>

#include <cstdio>

#include "calendar/system_clock.h"
#include "timeline/timeline_store.h"
#include "ui/timeline_window_win32.h"

namespace {

constexpr int kPaints = 200;
constexpr int kWidth = 720;
constexpr int kHeight = 330;

double paintMs(HDC context, const TimelineScene& scene) {
    const RECT client{0, 0, kWidth, kHeight};
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    for (int i = 0; i < kPaints; ++i) paintTimeline(context, client, 96, scene);
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) / frequency.QuadPart / kPaints;
}

}  // namespace

int main() {
    static TimelineStore store;
    HopRecord record{};
    const int64_t dayMs = 86400 * kMsPerSecond;
    for (int64_t ms = 0; ms < dayMs; ms += 333) {
        ++record.sent;
        if (record.sent % 3 != 0) {
            const int32_t rtt = 20 + static_cast<int32_t>(ms / 333 % 17);
            record.bestMs = record.received == 0 || rtt < record.bestMs ? rtt : record.bestMs;
            record.worstMs = rtt > record.worstMs ? rtt : record.worstMs;
            ++record.received;
            record.lastMs = rtt;
            record.totalMs += rtt;
        }
        store.feed(&record, 1, ms);
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
    SelectObject(memory, bitmap);
    const char* names[] = {"10 minutes", "1 hour", "24 hours"};
    for (int span = 0; span < 3; ++span) {
        const TimelineClock clock{systemUtcMs() - (dayMs - 1), localOffsetMinutesAt};  // as the window reads it
        const TimelineScene scene{store.hop(0), static_cast<TimelineSpan>(span), dayMs - 1, clock};
        std::printf("timeline paint, %d x %d, last %s: %.2f ms\n", kWidth, kHeight, names[span], paintMs(memory, scene));
    }
    DeleteDC(memory);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
    return 0;
}
