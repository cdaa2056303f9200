// The route history window's life and commands: opened from the main window's system
// menu, its report list drawn from the history itself (a list of owner data, so nothing
// is copied and a new event only changes the count), Ctrl+C or Copy in its right-click
// menu for the history's text, emptied at Start.
#include "ui/route_history_window_win32.h"

#include <commctrl.h>

#include "app/trace_app_win32.h"
#include "calendar/system_clock.h"
#include "text/bounded_text.h"
#include "ui/clipboard_win32.h"
#include "ui/display_scale.h"
#include "ui/display_scale_win32.h"
#include "ui/resource.h"
#include "ui/tool_window_win32.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace {

struct HistoryColumn {
    const char* header;
    int32_t width96;
    bool alignRight;
};
// The cells of formatRouteEventCells, in their order.
constexpr HistoryColumn kHistoryColumns[kRouteColumnCount] = {
    {"Time", 135, false},     {"Hop", 36, true},        {"Event", 90, false},      {"Router", 165, false},
    {"Sent", 50, true},       {"Received", 70, true},   {"Best Ping", 70, true},   {"Ave. Ping", 70, true},
    {"Worst Ping", 78, true}, {"New Router / Shares", 215, false},
};
constexpr int32_t kWidth96 = 1010;
constexpr int32_t kHeight96 = 280;

RouteHistoryView& view() { return theApp->routeHistoryView; }

void setColumns(HWND list, uint32_t dpi) {
    for (int i = 0; i < kRouteColumnCount; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = kHistoryColumns[i].alignRight ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = scaleToDpi(kHistoryColumns[i].width96, dpi);
        column.pszText = const_cast<char*>(kHistoryColumns[i].header);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

// The list's font for `dpi`; the columns keep the widths the user gave them, rescaled.
void fitToDpi(uint32_t dpi) {
    RouteHistoryView& shown = view();
    HFONT previous = shown.font;
    shown.font = createMessageFont(dpi);
    SendMessageA(shown.list, WM_SETFONT, reinterpret_cast<WPARAM>(shown.font), TRUE);
    if (previous != nullptr) DeleteObject(previous);
    for (int n = 0; n < kRouteColumnCount && shown.dpi != dpi; ++n) {
        const auto width = static_cast<int32_t>(SendMessageA(shown.list, LVM_GETCOLUMNWIDTH, n, 0));
        SendMessageA(shown.list, LVM_SETCOLUMNWIDTH, n, MAKELPARAM(rescaleDpi(width, shown.dpi, dpi), 0));
    }
    shown.dpi = dpi;
}

size_t historyText(const void* source, char* out, size_t capacity) {
    return formatRouteHistoryText(*static_cast<const RouteHistory*>(source), out, capacity);
}

void copyHistory(HWND window) { putClipboardText(window, 1, historyText, &theApp->routeHistory); }

// The list asks for each cell it shows: row 0 is the newest event.
void fillCell(NMLVDISPINFOA& info) {
    const RouteHistory& history = theApp->routeHistory;
    if ((info.item.mask & LVIF_TEXT) == 0 || info.item.cchTextMax <= 0) return;
    info.item.pszText[0] = '\0';
    if (info.item.iItem < 0 || info.item.iItem >= history.count() || info.item.iSubItem < 0 ||
        info.item.iSubItem >= kRouteColumnCount) {
        return;
    }
    RouteEventCells cells;
    formatRouteEventCells(history.newest(info.item.iItem), cells);
    copyBounded(info.item.pszText, static_cast<size_t>(info.item.cchTextMax), cells.text[info.item.iSubItem]);
}

LRESULT onNotify(HWND window, WPARAM, LPARAM lParam) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header == nullptr || header->hwndFrom != view().list) return 0;
    if (header->code == LVN_GETDISPINFOA) fillCell(*reinterpret_cast<NMLVDISPINFOA*>(lParam));
    if (header->code == LVN_KEYDOWN && isCopyKey(reinterpret_cast<NMLVKEYDOWN*>(lParam)->wVKey)) copyHistory(window);
    return 0;
}

void showMenu(HWND window, LPARAM where) {
    const POINT at = contextMenuPoint(window, where);
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return;
    AppendMenuA(menu, MF_STRING, IDM_ROUTE_HISTORY_COPY, "&Copy\tCtrl+C");
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    DestroyMenu(menu);
}

LRESULT onSize(HWND, WPARAM, LPARAM lParam) {
    MoveWindow(view().list, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    return 0;
}
LRESULT onFocus(HWND, WPARAM, LPARAM) { return SetFocus(view().list), 0; }
LRESULT onCommand(HWND window, WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) == IDM_ROUTE_HISTORY_COPY) copyHistory(window);
    return 0;
}
LRESULT onKeyDown(HWND window, WPARAM wParam, LPARAM) {
    if (isCopyKey(wParam)) copyHistory(window);
    return 0;
}
LRESULT onContextMenu(HWND window, WPARAM, LPARAM lParam) { return showMenu(window, lParam), 0; }
// Moved to a monitor of another DPI: the size the system proposes there, the font and
// columns for it. A message without a rectangle (sent by another program) changes nothing.
LRESULT onDpiChanged(HWND window, WPARAM wParam, LPARAM lParam) {
    const uint32_t dpi = HIWORD(wParam);
    if (lParam == 0 || dpi < kBaseDpi || dpi > 10 * kBaseDpi) return 0;
    const RECT& r = *reinterpret_cast<const RECT*>(lParam);
    fitToDpi(dpi);
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}
LRESULT onDestroy(HWND, WPARAM, LPARAM) {
    RouteHistoryView& shown = view();
    if (shown.font != nullptr) DeleteObject(shown.font);
    shown.window = shown.list = nullptr;
    shown.font = nullptr;
    return 0;
}

constexpr MessageEntry kMessages[] = {
    {WM_NOTIFY, onNotify},           {WM_SIZE, onSize},           {WM_SETFOCUS, onFocus},
    {WM_COMMAND, onCommand},         {WM_KEYDOWN, onKeyDown},     {WM_CONTEXTMENU, onContextMenu},
    {WM_DPICHANGED, onDpiChanged},   {WM_DESTROY, onDestroy},
};

// Messages of a window that is not the application's one open history window (one
// arriving before its creation is done, or after the application is gone) get the
// default handling.
LRESULT CALLBACK historyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (theApp == nullptr || window != view().window) return DefWindowProcA(window, message, wParam, lParam);
    return dispatchMessage(kMessages, window, message, wParam, lParam);
}

void setTitle(const RouteHistoryView& shown) {
    char title[kWindowTextSize + 32];
    formatRouteHistoryTitle(shown.target, title, sizeof title);
    SetWindowTextA(shown.window, title);
}

}  // namespace

RouteStamp routeStampOf(int64_t monotonicMs) {
    const int64_t utcMs = systemUtcMs();
    return RouteStamp{wallTimeAt(utcMs, localOffsetMinutesAt(floorDiv(utcMs, 1000))), wallTimeAt(utcMs, 0),
                      monotonicMs};
}

void addRouteHistoryItem(HWND mainWindow) {
    HMENU menu = GetSystemMenu(mainWindow, FALSE);
    if (menu == nullptr) return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ROUTE_HISTORY, "Route history...");
}

// A new trace: the checks start afresh, the history and its window are emptied, and the
// window's title names the new host.
void TraceApp::restartRoute(const char* target) {
    routeWatch.reset();
    routeHistory.clear();
    copyBounded(routeHistoryView.target, target);
    if (routeHistoryView.window != nullptr) setTitle(routeHistoryView);
    refreshRouteHistory();
}

// The list asks for the texts it shows, so a new event needs only the new count; a
// load-balanced hop's shares change in place.
void TraceApp::refreshRouteHistory() {
    const RouteHistoryView& shown = routeHistoryView;
    if (shown.window == nullptr) return;
    SendMessageA(shown.list, LVM_SETITEMCOUNT, routeHistory.count(), LVSICF_NOSCROLL);
    InvalidateRect(shown.list, nullptr, FALSE);
}

// Its size at the main window's DPI, held to the work area of the main window's monitor
// (the list scrolls), and placed within it: at 150 % and more the columns' room is wider
// than many screens.
RECT historyPlace(HWND mainWindow, uint32_t dpi) {
    RECT place{0, 0, scaleToDpi(kWidth96, dpi), scaleToDpi(kHeight96, dpi)};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT owner{};
    if (!GetMonitorInfoA(MonitorFromWindow(mainWindow, MONITOR_DEFAULTTONEAREST), &monitor) ||
        !GetWindowRect(mainWindow, &owner)) {
        return place;
    }
    const RECT& work = monitor.rcWork;
    const LONG width = place.right < work.right - work.left ? place.right : work.right - work.left;
    const LONG height = place.bottom < work.bottom - work.top ? place.bottom : work.bottom - work.top;
    const LONG left = owner.left + width <= work.right ? owner.left : work.right - width;
    const LONG top = owner.top + height <= work.bottom ? owner.top : work.bottom - height;
    place.left = left > work.left ? left : work.left;
    place.top = top > work.top ? top : work.top;
    place.right = place.left + width;
    place.bottom = place.top + height;
    return place;
}

void TraceApp::openRouteHistory() {
    RouteHistoryView& shown = routeHistoryView;
    if (shown.window != nullptr && IsWindow(shown.window)) {
        if (IsIconic(shown.window)) ShowWindow(shown.window, SW_RESTORE);
        SetForegroundWindow(shown.window);
        return;
    }
    registerToolWindowClass(instance, historyProc, kRouteHistoryWindowClass, 0);
    const uint32_t windowDpiNow = windowDpi(mainWindow);
    const RECT place = historyPlace(mainWindow, windowDpiNow);
    shown.window = CreateWindowExA(0, kRouteHistoryWindowClass, "", WS_OVERLAPPEDWINDOW, place.left, place.top,
                                   place.right - place.left, place.bottom - place.top, mainWindow, nullptr, instance,
                                   nullptr);
    if (shown.window == nullptr) return;
    RECT client{};
    GetClientRect(shown.window, &client);
    shown.list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA |
                                 LVS_NOSORTHEADER | LVS_SHOWSELALWAYS, 0, 0, client.right, client.bottom, shown.window,
                                 nullptr, instance, nullptr);
    SendMessageA(shown.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    shown.dpi = windowDpiNow;
    setColumns(shown.list, shown.dpi);
    fitToDpi(shown.dpi);
    setTitle(shown);
    refreshRouteHistory();
    ShowWindow(shown.window, SW_SHOW);
}
