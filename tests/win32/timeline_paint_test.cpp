// The timeline's picture painted into a bitmap: what it shows at the edges of its range,
// and its time ticks across a daylight-saving change (run with TZ=Europe/Berlin).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "calendar/system_clock.h"
#include "ui/timeline_window_win32.h"

namespace {

// `scene` painted at 96 DPI into a bitmap of `width` x `height`: its pixels as 0xRRGGBB,
// row by row.
std::vector<uint32_t> paint(int32_t width, int32_t height, const TimelineScene& scene) {
    HDC memory = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    paintTimeline(memory, RECT{0, 0, width, height}, 96, scene);
    GdiFlush();
    std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + width * height);
    for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

// The scene of one hop whose single echo took the longest time-out, its router changed at
// `markMs` when given, painted at 96 DPI into a bitmap of `width` x `height`; how many
// pixels of column `x` have `colour`.
int32_t pixelsOf(int32_t width, int32_t height, int32_t x, uint32_t colour, int64_t markMs = -1) {
    static TimelineStore store;
    HopRecord record{};
    record.sent = record.received = 1;
    record.lastMs = record.bestMs = record.worstMs = HopTable::kMaxTimeoutMs;
    record.totalMs = HopTable::kMaxTimeoutMs;
    store.clear();
    store.feed(&record, 1, 5000);
    if (markMs >= 0) store.markChange(0, markMs);
    const std::vector<uint32_t> pixels =
        paint(width, height, TimelineScene{store.hop(0), TimelineSpan::TenMinutes, 5000, {0, localOffsetMinutesAt}});
    int32_t count = 0;
    for (int32_t y = 0; y < height; ++y) count += pixels[y * width + x] == colour ? 1 : 0;
    return count;
}

}  // namespace

// A 60 s answer puts "60000 ms" (and in a short window "100000 ms") up the left: every
// label fits, none is cut at the window's edge.
TEST(TimelinePaint, MillisecondLabelsOfTheLongestTimeoutStayWhole) {
    for (const SIZE size : {SIZE{640, 300}, SIZE{320, 150}}) {
        EXPECT_EQ(pixelsOf(size.cx, size.cy, 0, 0xFFFFFF), size.cy) << size.cx << " x " << size.cy;
    }
}

// The 24 hours up to 12:00 UTC on the day of a change, ticked at 18:00, 00:00, 06:00 and
// 12:00 local time: the grid lines across the loss band stand 6 h, then 5 h and 6 h apart
// in March (the clock skips an hour), 6 h, then 7 h and 6 h in October.
TEST(TimelinePaint, TimeTicksAtRoundLocalTimesByTheRulesOfEachInstant) {
    const struct { int64_t change; int32_t before, after; std::vector<int> hoursApart; } changes[] = {
        {1774746000, 60, 120, {5, 6}}, {1792890000, 120, 60, {7, 6}},  // 2026-03-29, 2026-10-25 01:00 UTC
    };
    const int32_t width = 640, height = 300;
    for (const auto& c : changes) {
        ASSERT_EQ(localOffsetMinutesAt(c.change - 1) * 1000 + localOffsetMinutesAt(c.change), c.before * 1000 + c.after)
            << "the system's zone applies the rules of each instant";
        const TimelineClock clock{(c.change + 11 * 3600 - 86400) * 1000, localOffsetMinutesAt};
        const std::vector<uint32_t> pixels = paint(width, height, {nullptr, TimelineSpan::OneDay, 86400 * 1000 - 1, clock});
        int32_t band = height - 1;  // the loss band's lowest row
        while (band > 0 && std::count(&pixels[band * width], &pixels[band * width] + width, 0xF5F5F5u) == 0) --band;
        std::vector<int32_t> ticks;
        for (int32_t x = 0; x < width; ++x) {
            if (pixels[band * width + x] == 0xE1E1E1) ticks.push_back(x);
        }
        ASSERT_EQ(ticks.size(), 4u) << c.change;
        std::vector<int> hours;  // apart, the first gap taken as 6 h
        for (size_t n = 2; n < 4; ++n) hours.push_back(static_cast<int>(6.0 * (ticks[n] - ticks[n - 1]) / (ticks[1] - ticks[0]) + 0.5));
        EXPECT_EQ(hours, c.hoursApart) << c.change;
    }
}

// A route change in the newest second: an orange line down the plot's last column.
TEST(TimelinePaint, ARouteChangeIsMarkedInItsColumn) {
    EXPECT_GT(pixelsOf(640, 300, 640 - 15, 0xF08200, 5000), 200);
}
