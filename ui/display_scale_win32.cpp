// The window's DPI, from the system.
#include "ui/display_scale_win32.h"

#include "engine/system_library_win32.h"
#include "ui/display_scale.h"

uint32_t windowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto forWindow =
        entryPointOf<GetDpiForWindowFn>(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
    if (forWindow != nullptr && window != nullptr) {
        const UINT dpi = forWindow(window);
        if (dpi != 0) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<uint32_t>(dpi) : kBaseDpi;
}
