// The timeline's picture painted into a bitmap: what it shows at the edges of its range.
#include <gtest/gtest.h>

#include "ui/timeline_window_win32.h"

namespace {

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
    HDC memory = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    paintTimeline(memory, RECT{0, 0, width, height}, 96, TimelineScene{store.hop(0), TimelineSpan::TenMinutes, 5000, 0});
    GdiFlush();
    int32_t count = 0;
    const auto* pixels = static_cast<const uint32_t*>(bits);
    for (int32_t y = 0; y < height; ++y) count += (pixels[y * width + x] & 0xFFFFFF) == colour ? 1 : 0;
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
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

// A route change in the newest second: an orange line down the plot's last column.
TEST(TimelinePaint, ARouteChangeIsMarkedInItsColumn) {
    EXPECT_GT(pixelsOf(640, 300, 640 - 15, 0xF08200, 5000), 200);
}
