// The main window's fixed texts and the size of a window-text read, written once for
// the program; the Win32 tests and the outside driver find and read the window by them.
#pragma once

constexpr char kMainWindowClass[] = "LumentraxClass";
// Filled with the project's major and minor version.
constexpr char kTitleFormat[] = "Lumentrax v%d.%d";
// The Start/Stop button reads kStartText while no trace runs, kStopText while one does.
constexpr char kStartText[] = "Start";
constexpr char kStopText[] = "Stop";
// Every window text the program reads (the address box) fits this buffer, zero included.
constexpr int kWindowTextSize = 512;
// The window classes of the per-hop timeline windows and of the route history window.
constexpr char kTimelineWindowClass[] = "LumentraxTimeline";
constexpr char kRouteHistoryWindowClass[] = "LumentraxRouteHistory";
