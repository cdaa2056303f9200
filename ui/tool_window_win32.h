// What the program's tool windows (a hop's timeline, the route history) share: a table
// of message handlers, where their context menus open, their copy key, and a window class
// with the program's icon (which the main window's class starts from too).
#pragma once

#include <windows.h>

#include <cstddef>

#include "ui/resource.h"

struct MessageEntry {
    UINT message;
    LRESULT (*handler)(HWND window, WPARAM wParam, LPARAM lParam);
};

// The handler of `message` in `entries`; a message with none gets the default handling.
template <size_t N>
LRESULT dispatchMessage(const MessageEntry (&entries)[N], HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageEntry& entry : entries) {
        if (entry.message == message) return entry.handler(window, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Where a context menu opens: at the mouse, or, opened from the keyboard (no point), at
// the window's corner.
inline POINT contextMenuPoint(HWND window, LPARAM where) {
    POINT at{static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
    if (where == static_cast<LPARAM>(-1)) {
        at = POINT{0, 0};
        ClientToScreen(window, &at);
    }
    return at;
}

inline bool isCopyKey(WPARAM key) { return key == 'C' && GetKeyState(VK_CONTROL) < 0; }

// A window class of the program (the main window's too): its icon, the arrow cursor.
inline WNDCLASSA programWindowClass(HINSTANCE instance, WNDPROC procedure, const char* className, UINT style) {
    WNDCLASSA windowClass{};
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAINICON));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    return windowClass;
}

// A second registration (a second application in one process, as in the tests) fails
// harmlessly: the class exists with the same handler.
inline void registerToolWindowClass(HINSTANCE instance, WNDPROC procedure, const char* className, UINT style) {
    const WNDCLASSA windowClass = programWindowClass(instance, procedure, className, style);
    RegisterClassA(&windowClass);
}
