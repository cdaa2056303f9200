// The DPI a window is drawn at, and the system's sizes and message font for a DPI: the
// one place that asks the system for them. The ...ForDpi calls are bound at run time:
// Windows 10 releases before 1607 lack them, and there the sizes the system gives for
// its own DPI are scaled instead.
#pragma once

#include <windows.h>

#include <cstdint>

// The window's DPI (that of the monitor it is on, for a per-monitor aware program).
// GetDpiForWindow is bound at run time: Windows 10 releases before 1607 lack it, and
// there the screen's DPI is the one.
uint32_t windowDpi(HWND window);

// The system's DPI: the one GetSystemMetrics and the controls' own parts are sized for.
uint32_t systemDpi();

// The DPI of the monitor that holds the point (the nearest one when none does), for a
// window that does not exist yet; the screen's DPI where monitors have none of their own.
uint32_t dpiAtPoint(int32_t x, int32_t y);

// GetSystemMetrics(index) as it is at `dpi`.
int systemMetricForDpi(int index, uint32_t dpi);

// A new font: the system's message font at `dpi`, or null when none could be made. The
// caller deletes it once no window uses it any more.
HFONT createMessageFont(uint32_t dpi);
