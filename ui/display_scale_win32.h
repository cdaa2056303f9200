// The DPI a window is drawn at: the one place that asks the system for it.
#pragma once

#include <windows.h>

#include <cstdint>

// The window's DPI (that of the monitor it is on, for a per-monitor aware program).
// GetDpiForWindow is bound at run time: Windows 10 releases before 1607 lack it, and
// there the screen's DPI is the one.
uint32_t windowDpi(HWND window);
