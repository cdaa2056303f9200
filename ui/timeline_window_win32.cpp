// The timeline windows' life and commands: opened by activating a row, fed after every
// engine step, marked and retitled when the hop's router changes, repainted by a timer
// through a memory bitmap, their span switched by the right-click menu or the keys 1, 2
// and 3, their shown span copied by Ctrl+C or the menu.
#include "ui/timeline_window_win32.h"

#include "app/trace_app_win32.h"
#include "calendar/system_clock.h"
#include "timeline/timeline_text.h"
#include "ui/clipboard_win32.h"
#include "ui/display_scale.h"
#include "ui/display_scale_win32.h"
#include "ui/resource.h"
#include "ui/tool_window_win32.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace {

constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT kRepaintMs = 500;  // two paints a second, whatever the step rate
constexpr int32_t kWidth96 = 640;
constexpr int32_t kHeight96 = 300;
constexpr int32_t kMinWidth96 = 320;
constexpr int32_t kMinHeight96 = 180;

struct SpanCommand {
    WORD id;
    TimelineSpan span;
    char key;
    const char* label;
};
constexpr SpanCommand kSpanCommands[] = {
    {IDM_TIMELINE_10MIN, TimelineSpan::TenMinutes, '1', "Last &10 minutes\t1"},
    {IDM_TIMELINE_1H, TimelineSpan::OneHour, '2', "Last &hour\t2"},
    {IDM_TIMELINE_24H, TimelineSpan::OneDay, '3', "Last &24 hours\t3"},
};

// The hop a window shows, kept in its user data as index + 1 (0 = none yet).
int32_t hopOf(HWND window) { return static_cast<int32_t>(GetWindowLongPtrA(window, GWLP_USERDATA)) - 1; }

bool validHop(int32_t hop) { return hop >= 0 && hop < kMaxRecords; }

TimelineScene sceneOf(const TraceApp& app, int32_t hop) {
    const int64_t nowMs = monotonicNowMs();
    return TimelineScene{app.timelines.hop(hop), app.timelineWindows.spans[hop], nowMs,
                         TimelineClock{utcOffsetMs(nowMs), localOffsetMinutesAt}};
}

size_t sceneText(const void* source, char* out, size_t capacity) {
    const TimelineScene& scene = *static_cast<const TimelineScene*>(source);
    if (scene.timeline == nullptr) {
        if (capacity > 0) out[0] = '\0';
        return 0;
    }
    return formatTimelineText(*scene.timeline, scene.span, scene.nowMs, scene.clock, out, capacity);
}

void copyShownSpan(HWND window, int32_t hop) {
    const TimelineScene scene = sceneOf(*theApp, hop);
    putClipboardText(window, 1, sceneText, &scene);
}

// Span switches and the copy, from the menu, the keys or another program.
void runCommand(HWND window, WORD id) {
    const int32_t hop = hopOf(window);
    if (theApp == nullptr || !validHop(hop)) return;
    if (id == IDM_TIMELINE_COPY) return copyShownSpan(window, hop);
    for (const SpanCommand& command : kSpanCommands) {
        if (command.id == id) theApp->timelineWindows.spans[hop] = command.span;
    }
    InvalidateRect(window, nullptr, FALSE);
}

void showMenu(HWND window, LPARAM where) {
    const int32_t hop = hopOf(window);
    if (theApp == nullptr || !validHop(hop)) return;
    const POINT at = contextMenuPoint(window, where);
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return;
    for (const SpanCommand& command : kSpanCommands) {
        const bool shown = theApp->timelineWindows.spans[hop] == command.span;
        AppendMenuA(menu, MF_STRING | (shown ? MF_CHECKED : 0), command.id, command.label);
    }
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_TIMELINE_COPY, "&Copy\tCtrl+C");
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    DestroyMenu(menu);
}

void onKey(HWND window, WPARAM key) {
    if (isCopyKey(key)) return runCommand(window, IDM_TIMELINE_COPY);
    for (const SpanCommand& command : kSpanCommands) {
        if (static_cast<WPARAM>(command.key) == key) runCommand(window, command.id);
    }
}

// Drawn into a bitmap first and copied in one piece, so the window never shows a half
// drawn picture.
void onPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC screen = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const int32_t hop = hopOf(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    if (memory != nullptr && bitmap != nullptr && theApp != nullptr && validHop(hop)) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        paintTimeline(memory, client, windowDpi(window), sceneOf(*theApp, hop));
        BitBlt(screen, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    EndPaint(window, &paint);
}

void onDestroy(HWND window) {
    KillTimer(window, kRepaintTimer);
    const int32_t hop = hopOf(window);
    if (theApp != nullptr && validHop(hop) && theApp->timelineWindows.windows[hop] == window) {
        theApp->timelineWindows.windows[hop] = nullptr;
    }
}

void limitSize(HWND window, LPARAM lParam) {
    auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
    const uint32_t dpi = windowDpi(window);
    limits->ptMinTrackSize.x = scaleToDpi(kMinWidth96, dpi);
    limits->ptMinTrackSize.y = scaleToDpi(kMinHeight96, dpi);
}

LRESULT onCreateFrame(HWND window, WPARAM wParam, LPARAM lParam) {
    SetWindowLongPtrA(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    return DefWindowProcA(window, WM_NCCREATE, wParam, lParam);
}
LRESULT onPaintMessage(HWND window, WPARAM, LPARAM) { return onPaint(window), 0; }
LRESULT onErase(HWND, WPARAM, LPARAM) { return 1; }  // the paint covers every pixel
LRESULT onRepaint(HWND window, WPARAM, LPARAM) { return InvalidateRect(window, nullptr, FALSE), 0; }
LRESULT onCommand(HWND window, WPARAM wParam, LPARAM) { return runCommand(window, LOWORD(wParam)), 0; }
LRESULT onContextMenu(HWND window, WPARAM, LPARAM lParam) { return showMenu(window, lParam), 0; }
LRESULT onKeyDown(HWND window, WPARAM wParam, LPARAM) { return onKey(window, wParam), 0; }
LRESULT onMinMax(HWND window, WPARAM, LPARAM lParam) { return limitSize(window, lParam), 0; }
LRESULT onDestroyMessage(HWND window, WPARAM, LPARAM) { return onDestroy(window), 0; }
// Moved to a monitor of another DPI: the size the system proposes for it there; the
// paint then measures everything at the new DPI. A message without a rectangle (sent
// by another program) moves nothing.
LRESULT onDpiChanged(HWND window, WPARAM, LPARAM lParam) {
    if (lParam == 0) return 0;
    const RECT& r = *reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

constexpr MessageEntry kMessages[] = {
    {WM_NCCREATE, onCreateFrame}, {WM_PAINT, onPaintMessage},     {WM_ERASEBKGND, onErase},
    {WM_TIMER, onRepaint},        {WM_SIZE, onRepaint},           {WM_COMMAND, onCommand},
    {WM_CONTEXTMENU, onContextMenu}, {WM_KEYDOWN, onKeyDown},     {WM_GETMINMAXINFO, onMinMax},
    {WM_DESTROY, onDestroyMessage}, {WM_DPICHANGED, onDpiChanged},
};

LRESULT CALLBACK timelineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessage(kMessages, window, message, wParam, lParam);
}

}  // namespace

int64_t monotonicNowMs() { return static_cast<int64_t>(GetTickCount64()); }

int64_t utcOffsetMs(int64_t monotonicMs) { return systemUtcMs() - monotonicMs; }

void TraceApp::feedTimelines() {
    if (hopTable == nullptr) return;
    timelines.feed(hopTable->records, hopTable->hopCount, monotonicNowMs());
}

// Every row goes at a Start, so every timeline window goes with it: a hop number of the
// new trace may be another router, and its window would claim a history it never had.
void TraceApp::restartTimelines() {
    for (HWND& window : timelineWindows.windows) {
        if (window != nullptr && IsWindow(window)) DestroyWindow(window);
        window = nullptr;
    }
    timelines.clear();
}

// The rewritten hop's window names its new router; the hops after the route's new end
// are marked too (a later router there starts after the mark), and their windows close
// with their rows.
void TraceApp::followTimelines(int32_t hopIndex, int32_t hopsBefore, int64_t atMs) {
    if (hopTable == nullptr || !validHop(hopIndex)) return;
    timelines.markChange(hopIndex, atMs);
    HWND window = timelineWindows.windows[hopIndex];
    if (window != nullptr && IsWindow(window)) {
        char title[kWindowTextSize];
        formatTimelineTitle(hopIndex + 1, hopTable->records[hopIndex], title, sizeof title);
        SetWindowTextA(window, title);
    }
    for (int32_t gone = hopTable->hopCount; gone < hopsBefore && validHop(gone); ++gone) {
        if (timelines.hop(gone) != nullptr) timelines.markChange(gone, atMs);
        HWND& goneWindow = timelineWindows.windows[gone];
        if (goneWindow != nullptr && IsWindow(goneWindow)) DestroyWindow(goneWindow);
        goneWindow = nullptr;
    }
}

void TraceApp::openTimeline(int32_t hopIndex) {
    if (hopTable == nullptr || hopIndex < 0 || hopIndex >= hopTable->hopCount || !validHop(hopIndex)) return;
    HWND& window = timelineWindows.windows[hopIndex];
    if (window != nullptr && IsWindow(window)) {
        if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return;
    }
    registerToolWindowClass(instance, timelineProc, kTimelineWindowClass, CS_HREDRAW | CS_VREDRAW);
    char title[kWindowTextSize];
    formatTimelineTitle(hopIndex + 1, hopTable->records[hopIndex], title, sizeof title);
    const uint32_t dpi = windowDpi(mainWindow);
    window = CreateWindowExA(0, kTimelineWindowClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             scaleToDpi(kWidth96, dpi), scaleToDpi(kHeight96, dpi), mainWindow, nullptr, instance,
                             reinterpret_cast<void*>(static_cast<INT_PTR>(hopIndex + 1)));
    if (window == nullptr) return;
    SetTimer(window, kRepaintTimer, kRepaintMs, nullptr);
    ShowWindow(window, SW_SHOW);
}
