// Draws one hop's timeline: per bucket a bar from best to worst round trip, the average
// as a line, a red mark below the plot as high as the share of echoes lost, nothing where
// no echo went; millisecond ticks at round values up the left, local times along the
// bottom. Every size is designed at 96 DPI and scaled to the window's.
#include <cstdio>
#include <initializer_list>

#include "timeline/timeline_axis.h"
#include "timeline/timeline_text.h"
#include "ui/display_scale.h"
#include "ui/timeline_window_win32.h"

namespace {

constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kGrid = RGB(225, 225, 225);
constexpr COLORREF kText = RGB(60, 60, 60);
constexpr COLORREF kRange = RGB(150, 190, 235);
constexpr COLORREF kAverage = RGB(20, 70, 160);
constexpr COLORREF kLoss = RGB(220, 30, 30);
constexpr COLORREF kLossBand = RGB(245, 245, 245);

// The picture's parts at 96 DPI.
constexpr int32_t kLeftMargin96 = 60;
constexpr int32_t kRightMargin96 = 14;
constexpr int32_t kTopMargin96 = 22;
constexpr int32_t kLossBand96 = 16;
constexpr int32_t kGap96 = 4;
constexpr int32_t kBandGap96 = 10;  // keeps the 0 ms label clear of the loss band's
constexpr int32_t kTimeLabels96 = 20;
constexpr int32_t kMsTickSpacing96 = 30;
constexpr int32_t kTimeTickSpacing96 = 90;
constexpr int32_t kFontHeight96 = 12;

struct Frame {
    RECT plot;
    RECT lossBand;
    uint32_t dpi;
    int32_t topMs;
};

int32_t px(int32_t size96, uint32_t dpi) { return scaleToDpi(size96, dpi); }

Frame frameFor(const RECT& client, uint32_t dpi) {
    Frame frame{};
    frame.dpi = dpi;
    const LONG bottom = client.bottom - px(kTimeLabels96, dpi);
    frame.lossBand = RECT{px(kLeftMargin96, dpi), bottom - px(kLossBand96, dpi), client.right - px(kRightMargin96, dpi),
                          bottom};
    frame.plot = RECT{frame.lossBand.left, px(kTopMargin96, dpi), frame.lossBand.right,
                      frame.lossBand.top - px(kBandGap96, dpi)};
    return frame;
}

LONG width(const RECT& r) { return r.right - r.left; }
LONG height(const RECT& r) { return r.bottom - r.top; }

// The buckets that share column `column` of `columns`, added together.
TimelineBucket column(const TimelineScene& scene, int32_t index, int32_t columns) {
    const int32_t count = spanShape(scene.span).bucketCount;
    const int32_t first = static_cast<int32_t>(static_cast<int64_t>(index) * count / columns);
    int32_t end = static_cast<int32_t>(static_cast<int64_t>(index + 1) * count / columns);
    if (end <= first) end = first + 1;
    TimelineBucket sum{-1, 0, 0, 0, 0, 0};
    for (int32_t b = first; b < end; ++b) {
        const TimelineBucket* bucket = scene.timeline->bucketAt(scene.span, scene.nowMs, b);
        if (bucket != nullptr) sum.add(*bucket);
    }
    return sum;
}

int32_t largestWorst(const TimelineScene& scene, int32_t columns) {
    int32_t largest = 0;
    for (int32_t c = 0; c < columns; ++c) {
        const TimelineBucket sum = column(scene, c, columns);
        if (sum.answered > 0 && sum.worstMs > largest) largest = sum.worstMs;
    }
    return largest;
}

LONG yOf(const Frame& frame, int32_t ms) {
    const int64_t up = static_cast<int64_t>(ms > frame.topMs ? frame.topMs : ms) * height(frame.plot) / frame.topMs;
    return frame.plot.bottom - static_cast<LONG>(up);
}

void fill(HDC context, const RECT& rect, COLORREF color) {
    SetBkColor(context, color);
    ExtTextOutA(context, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void label(HDC context, int32_t x, int32_t y, UINT align, const char* text) {
    SetTextAlign(context, align);
    TextOutA(context, x, y, text, lstrlenA(text));
}

void drawMsAxis(HDC context, const Frame& frame, const MsScale& scale) {
    for (int32_t ms = 0; ms <= scale.topMs; ms += scale.stepMs) {
        const LONG y = yOf(frame, ms);
        fill(context, RECT{frame.plot.left, y, frame.plot.right, y + 1}, kGrid);
        char text[24];
        std::snprintf(text, sizeof text, "%d ms", ms);
        label(context, frame.plot.left - px(kGap96, frame.dpi), y - px(kFontHeight96, frame.dpi) / 2, TA_RIGHT | TA_TOP,
              text);
    }
}

// The widest millisecond label, the top one, moves the plot right when the designed
// margin cannot hold it (a long time-out's "60000 ms"), so that no label is cut.
void fitMsLabels(HDC context, Frame& frame) {
    char text[24];
    std::snprintf(text, sizeof text, "%d ms", frame.topMs);
    SIZE size{};
    GetTextExtentPoint32A(context, text, lstrlenA(text), &size);
    const LONG left = size.cx + 2 * px(kGap96, frame.dpi);
    if (left > frame.plot.left) frame.plot.left = frame.lossBand.left = left;
}

// Vertical lines and labels at round local times: "HH:MM", with seconds when the
// interval is shorter than a minute. The labels follow the local rules in force at each
// tick; the lines stand where their instants are on the monotonic clock.
void drawTimeAxis(HDC context, const Frame& frame, const TimelineScene& scene) {
    const SpanShape shape = spanShape(scene.span);
    const int64_t spanSeconds = shape.bucketCount * shape.bucketMs / 1000;
    const int64_t rightMs = (scene.nowMs / shape.bucketMs + 1) * shape.bucketMs;
    const int64_t rightSecond = scene.clock.utcSecondOf(rightMs);
    const int64_t leftSecond = rightSecond - spanSeconds;
    const LocalOffsets offsets = localOffsetsOver(scene.clock.localOffsetAt, leftSecond, rightSecond);
    const int32_t maxTicks = width(frame.plot) / px(kTimeTickSpacing96, frame.dpi);
    const int32_t step = timeTickSeconds(spanSeconds, maxTicks);
    for (int64_t t = firstTickSecond(leftSecond, step, offsets); t < rightSecond;
         t = firstTickSecond(t + 1, step, offsets)) {
        const LONG x = frame.plot.left + static_cast<LONG>((t - leftSecond) * width(frame.plot) / spanSeconds);
        fill(context, RECT{x, frame.plot.top, x + 1, frame.lossBand.bottom}, kGrid);
        char text[kTimeLabelSize];
        formatTimeLabel(offsets.localSecondOf(t), step, text);
        label(context, x, frame.lossBand.bottom + px(2, frame.dpi), TA_CENTER | TA_TOP, text);
    }
}

// Strokes of one colour gathered and drawn a batch at a time: a few calls per paint
// instead of several per pixel column, which keeps a paint short next to engine steps.
constexpr int32_t kBatch = 512;

struct Strokes {
    HPEN pen;
    POINT points[2 * kBatch];
    DWORD counts[kBatch];
    int32_t used;
};

void flush(HDC context, Strokes& strokes) {
    if (strokes.used == 0) return;
    HGDIOBJ previous = SelectObject(context, strokes.pen);
    PolyPolyline(context, strokes.points, strokes.counts, static_cast<DWORD>(strokes.used));
    SelectObject(context, previous);
    strokes.used = 0;
}

// A vertical stroke covering rows top .. bottom - 1 of column x.
void addStroke(HDC context, Strokes& strokes, LONG x, LONG top, LONG bottom) {
    if (strokes.used == kBatch) flush(context, strokes);
    strokes.points[2 * strokes.used] = POINT{x, top};
    strokes.points[2 * strokes.used + 1] = POINT{x, bottom};
    strokes.counts[strokes.used++] = 2;
}

// The line gathered so far (one point alone draws nothing); the next starts afresh.
void flushLine(HDC context, Strokes& line) {
    if (line.used >= 2) {
        HGDIOBJ previous = SelectObject(context, line.pen);
        Polyline(context, line.points, line.used);
        SelectObject(context, previous);
    }
    line.used = 0;
}

// A joined line: a batch that fills up goes out and the next starts at its last point.
void addPoint(HDC context, Strokes& line, POINT point) {
    if (line.used == 2 * kBatch) {
        const POINT last = line.points[line.used - 1];
        flushLine(context, line);
        line.points[line.used++] = last;
    }
    line.points[line.used++] = point;
}

void drawColumn(HDC context, const Frame& frame, LONG x, const TimelineBucket& sum, Strokes& ranges, Strokes& losses) {
    if (sum.answered > 0) {
        const LONG top = yOf(frame, sum.worstMs);
        const LONG bottom = yOf(frame, sum.bestMs);
        addStroke(context, ranges, x, top, bottom > top ? bottom + 1 : top + 1);
    }
    const int32_t lost = sum.sent - sum.answered;
    if (lost > 0) {
        LONG mark = static_cast<LONG>(static_cast<int64_t>(height(frame.lossBand)) * lost / sum.sent);
        if (mark < 1) mark = 1;
        addStroke(context, losses, x, frame.lossBand.bottom - mark, frame.lossBand.bottom);
    }
}

// The bars and loss marks first, then the average over them: it joins neighbouring
// columns with answers, and a column without one breaks it.
void drawData(HDC context, const Frame& frame, const TimelineScene& scene) {
    const int32_t columns = width(frame.plot);
    Strokes ranges{CreatePen(PS_SOLID, 1, kRange), {}, {}, 0};
    Strokes losses{CreatePen(PS_SOLID, 1, kLoss), {}, {}, 0};
    for (int32_t c = 0; c < columns; ++c) {
        drawColumn(context, frame, frame.plot.left + c, column(scene, c, columns), ranges, losses);
    }
    flush(context, ranges);
    flush(context, losses);
    Strokes line{CreatePen(PS_SOLID, px(1, frame.dpi), kAverage), {}, {}, 0};
    for (int32_t c = 0; c < columns; ++c) {
        const TimelineBucket sum = column(scene, c, columns);
        if (sum.answered == 0) {
            flushLine(context, line);
        } else {
            addPoint(context, line, POINT{frame.plot.left + c, yOf(frame, sum.averageMs())});
        }
    }
    flushLine(context, line);
    for (HPEN pen : {ranges.pen, losses.pen, line.pen}) DeleteObject(pen);
}

constexpr COLORREF kRouteChange = RGB(240, 130, 0);
constexpr int32_t kMarkWidth96 = 2;

// An orange line across the plot and the loss band at each change of the hop's router in
// view, in the last pixel column that shows the change's bucket, over the data it divides.
void drawChangeMarks(HDC context, const Frame& frame, const TimelineScene& scene) {
    const int64_t count = spanShape(scene.span).bucketCount;
    const int64_t columns = width(frame.plot);
    for (int32_t mark = 0; mark < scene.timeline->marksHeld(); ++mark) {
        const int32_t index = scene.timeline->markIndex(scene.span, scene.nowMs, mark);
        if (index < 0) continue;
        const LONG x = frame.plot.left + static_cast<LONG>(((index + 1) * columns + count - 1) / count - 1);
        fill(context, RECT{x, frame.plot.top, x + px(kMarkWidth96, frame.dpi), frame.lossBand.bottom}, kRouteChange);
    }
}

const char* spanName(TimelineSpan span) {
    switch (span) {
        case TimelineSpan::OneHour: return "Last hour";
        case TimelineSpan::OneDay: return "Last 24 hours";
        default: return "Last 10 minutes";
    }
}

HFONT labelFont(uint32_t dpi) {
    LOGFONTA font{};
    font.lfHeight = -px(kFontHeight96, dpi);
    font.lfWeight = FW_NORMAL;
    lstrcpynA(font.lfFaceName, "MS Shell Dlg 2", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

}  // namespace

void paintTimeline(HDC context, const RECT& client, uint32_t dpi, const TimelineScene& scene) {
    fill(context, client, kBackground);
    Frame frame = frameFor(client, dpi);
    if (width(frame.plot) < 1 || height(frame.plot) < 1) return;
    HFONT font = labelFont(dpi);
    HGDIOBJ previousFont = SelectObject(context, font);
    SetBkMode(context, TRANSPARENT);
    SetTextColor(context, kText);
    const int32_t largest = scene.timeline != nullptr ? largestWorst(scene, width(frame.plot)) : 0;
    const MsScale scale = msScale(largest, height(frame.plot) / px(kMsTickSpacing96, dpi));
    frame.topMs = scale.topMs;
    fitMsLabels(context, frame);
    if (width(frame.plot) < 1) {
        SelectObject(context, previousFont);
        DeleteObject(font);
        return;
    }
    fill(context, frame.lossBand, kLossBand);
    drawMsAxis(context, frame, scale);
    drawTimeAxis(context, frame, scene);
    label(context, frame.lossBand.left - px(kGap96, dpi), (frame.lossBand.top + frame.lossBand.bottom - px(kFontHeight96, dpi)) / 2,
          TA_RIGHT | TA_TOP, "loss");
    label(context, frame.plot.left, px(kGap96, dpi), TA_LEFT | TA_TOP, spanName(scene.span));
    if (scene.timeline != nullptr) drawData(context, frame, scene);
    if (scene.timeline != nullptr) drawChangeMarks(context, frame, scene);
    SelectObject(context, previousFont);
    DeleteObject(font);
}
