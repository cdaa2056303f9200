// The route history window: at most one, owned by the main window, listing the route's
// changes and load-balanced hops newest first while the trace runs. And the stamps of
// those events, read from the system's clocks.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/window_texts.h"
#include "route/route_history.h"

struct RouteHistoryView {
    HWND window;  // null while none is open
    HWND list;
    HFONT font;
    uint32_t dpi;  // the DPI the list's font and columns are made for
    // The host the trace was started with, as typed: the window's title names it.
    char target[kWindowTextSize];
};

// The local and UTC times now, for an event at monotonic time `monotonicMs` (now).
RouteStamp routeStampOf(int64_t monotonicMs);

// Adds the item that opens the history window to the main window's system menu.
void addRouteHistoryItem(HWND mainWindow);
