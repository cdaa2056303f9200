// The window's DPI, the system's sizes and the message font for a DPI, from the system.
#include "ui/display_scale_win32.h"

#include "engine/system_library_win32.h"
#include "ui/display_scale.h"

namespace {

HMODULE user32() { return GetModuleHandleA("user32.dll"); }

}  // namespace

// The screen's DPI, which the system's sizes and fonts are given in when no call for a
// DPI of one's choosing exists.
uint32_t systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<uint32_t>(dpi) : kBaseDpi;
}

uint32_t windowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto forWindow = entryPointOf<GetDpiForWindowFn>(user32(), "GetDpiForWindow");
    if (forWindow != nullptr && window != nullptr) {
        const UINT dpi = forWindow(window);
        if (dpi != 0) return dpi;
    }
    return systemDpi();
}

// GetDpiForMonitor (MDT_EFFECTIVE_DPI = 0) lives in shcore.dll, from Windows 8.1 on; the
// library is loaded from the system folder once and kept for the process's life.
uint32_t dpiAtPoint(int32_t x, int32_t y) {
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto forMonitor =
        entryPointOf<GetDpiForMonitorFn>(loadSystemLibrary("shcore.dll"), "GetDpiForMonitor");
    HMONITOR monitor = MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONEAREST);
    UINT dpiX = 0, dpiY = 0;
    if (forMonitor != nullptr && monitor != nullptr && forMonitor(monitor, 0, &dpiX, &dpiY) == S_OK &&
        dpiY != 0) {
        return dpiY;
    }
    return systemDpi();
}

int systemMetricForDpi(int index, uint32_t dpi) {
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = entryPointOf<GetSystemMetricsForDpiFn>(user32(), "GetSystemMetricsForDpi");
    if (forDpi != nullptr) return forDpi(index, dpi);
    return rescaleDpi(GetSystemMetrics(index), systemDpi(), dpi);
}

HFONT createMessageFont(uint32_t dpi) {
    using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    static const auto forDpi =
        entryPointOf<SystemParametersInfoForDpiFn>(user32(), "SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
    metrics.lfMessageFont.lfHeight = rescaleDpi(metrics.lfMessageFont.lfHeight, systemDpi(), dpi);
    return CreateFontIndirectW(&metrics.lfMessageFont);
}
