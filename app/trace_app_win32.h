// The application object: settings, address history, the main window and its five
// controls, the one HopTable and the checks of its route. One exists per process; theApp
// points to it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/window_texts.h"
#include "engine/hop_table.h"
#include "route/route_check.h"
#include "settings/column_count.h"
#include "settings/history.h"
#include "timeline/timeline_store.h"
#include "ui/route_history_window_win32.h"
#include "ui/timeline_window_win32.h"

struct TraceApp {
    TraceApp(HINSTANCE moduleInstance, const char* commandLine);
    ~TraceApp();
    TraceApp(const TraceApp&) = delete;
    TraceApp& operator=(const TraceApp&) = delete;

    int run();
    void idleTick();
    // Runs the route check that is due, if any, and shows what it confirmed; true when a
    // check ran (in place of the tick's engine step).
    bool followRoute();

    // Main window (app/main_window_win32.cpp).
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void layoutControls(unsigned clientWidth, unsigned clientHeight);
    // Takes `newDpi` as the window's DPI: the bar's height, the controls' font and the
    // list's check boxes for it; `oldDpi` is the one the controls' parts fit now.
    void applyDpi(uint32_t oldDpi, uint32_t newDpi);
    void toggleTrace();

    // Results list (ui/results_list_win32.cpp).
    void setupColumns(int32_t initialClientWidth);
    void refreshList();
    // A row rewritten for a route change gets the ticked box of a new row.
    void tickRewrittenRow(int32_t hopIndex);

    // Clipboard export (ui/clipboard_win32.cpp).
    void copyTrace();

    // Timelines (ui/timeline_window_win32.cpp): fed after each step, emptied (and their
    // windows closed) at Start, a hop's window opened by activating its row.
    void feedTimelines();
    void restartTimelines();
    void openTimeline(int32_t hopIndex);
    // Hop `hopIndex`'s router changed at monotonic `atMs` and the route that had
    // `hopsBefore` hops now has the table's: marks, titles, and the windows of hops gone.
    void followTimelines(int32_t hopIndex, int32_t hopsBefore, int64_t atMs);

    // The route history window (ui/route_history_window_win32.cpp), opened from the
    // system menu; a Start empties the checks' evidence and the history.
    void openRouteHistory();
    void refreshRouteHistory();
    void restartRoute(const char* target);

    // The address box and the history (ui/address_box_win32.cpp); the settings file's
    // load and save are settings/settings_file.h's.
    void fillAddressList();
    void rememberAddress(const char* address);

    int32_t windowX;
    int32_t windowY;
    int32_t windowWidth;
    int32_t windowHeight;
    int32_t columnWidths[kColumnCount];
    HistorySlots history;
    int32_t maxHops;
    int32_t timeoutMs;
    int32_t reverseDns;
    int32_t packetSize;
    HopTable* hopTable;
    HWND addressBox;
    HWND mainWindow;
    HWND listView;
    HWND startButton;
    HWND optionsButton;
    HWND copyButton;
    HINSTANCE instance;
    int32_t barHeight;
    // The DPI the window is drawn at, and the one font of its five controls, made for it.
    uint32_t dpi;
    HFONT font;
    // The common controls library (the list view's home), version 6 from the system's
    // side-by-side store, loaded at start-up and released at teardown, after the windows
    // that use it.
    HMODULE commonControls;
    TimelineStore timelines;
    TimelineWindows timelineWindows;
    RouteWatch routeWatch;
    RouteHistory routeHistory;
    // The timelines' monotonic clock, so that change marks fall in their buckets.
    RouteClock routeClock;
    RouteHistoryView routeHistoryView;
};

extern TraceApp* theApp;

// Dialog handlers (ui/options_dialog_win32.cpp, ui/about_dialog_win32.cpp).
INT_PTR CALLBACK optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
