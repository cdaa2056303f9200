// The main window's handler: a table of small message handlers, the layout of the
// control bar and the list, the background painting, and the command table.
#include "app/trace_app_win32.h"

#include <commctrl.h>

#include "app/layout.h"
#include "settings/settings_file.h"
#include "ui/display_scale.h"
#include "ui/resource.h"

namespace {

using MessageHandler = LRESULT (*)(TraceApp& app, HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam);

LRESULT onDestroy(TraceApp& app, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    saveSettings(app);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT onSize(TraceApp& app, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    app.layoutControls(LOWORD(lParam), HIWORD(lParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

// The rectangle reaches past every edge, so its outline (drawn with the current pen)
// falls outside the client area and only the button-face fill shows.
LRESULT onPaint(TraceApp&, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PAINTSTRUCT paint;
    HDC context = BeginPaint(window, &paint);
    HGDIOBJ previous = SelectObject(context, GetSysColorBrush(COLOR_BTNFACE));
    Rectangle(context, -10, -10, 10000, 10000);
    SelectObject(context, previous);
    EndPaint(window, &paint);
    return DefWindowProcA(window, message, wParam, lParam);
}

// Windows ends the process after this message without destroying the window, so a
// log-off or shutdown with the program open would otherwise lose the session's history,
// options, placement and column widths. They are saved here just as the destroy
// handling saves them; if the session goes on after all, the normal end saves again.
LRESULT onEndSession(TraceApp& app, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (wParam != 0) saveSettings(app);
    return DefWindowProcA(window, message, wParam, lParam);
}

// The quit request comes first; the default handling then destroys the window, whose
// destroy handling saves the settings while every control still exists.
LRESULT onClose(TraceApp&, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

void commandExit(TraceApp&) { PostQuitMessage(0); }

void commandAbout(TraceApp& app) {
    DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_ABOUT), app.mainWindow, aboutDialogProc, 0);
}

void commandStartStop(TraceApp& app) { app.toggleTrace(); }

void commandCopy(TraceApp& app) { app.copyTrace(); }

void commandOptions(TraceApp& app) {
    DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_OPTIONS), app.mainWindow, optionsDialogProc,
                    0);
}

// A move to a monitor of another DPI (the new one in wParam): the suggested rectangle,
// the font and bar for the new DPI, every column scaled by new/old. The layout runs
// again even when the rectangle keeps the client size, so no size message comes.
// Windows scales a monitor from 100 % (96 DPI) up to 500 %; a DPI outside 96 to ten
// times that (0, or a message another program made up) is ignored: the columns and
// check boxes would shrink or fail past what a later change could restore.
LRESULT onDpiChanged(TraceApp& app, HWND window, UINT, WPARAM wParam, LPARAM lParam) {
    const uint32_t oldDpi = app.dpi;
    const uint32_t newDpi = HIWORD(wParam);
    if (newDpi < kBaseDpi || newDpi > 10 * kBaseDpi) return 0;
    app.applyDpi(oldDpi, newDpi);
    for (int n = 0; n < kColumnCount; ++n) {
        const auto width = static_cast<int32_t>(SendMessageA(app.listView, LVM_GETCOLUMNWIDTH, n, 0));
        SendMessageA(app.listView, LVM_SETCOLUMNWIDTH, n, MAKELPARAM(rescaleDpi(width, oldDpi, newDpi), 0));
    }
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested != nullptr) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT client{};
    GetClientRect(window, &client);
    app.layoutControls(client.right, client.bottom);
    return 0;
}

// The system menu's own item; the system keeps the four low bits of the command.
LRESULT onSysCommand(TraceApp& app, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((wParam & 0xFFF0) != IDM_ROUTE_HISTORY) return DefWindowProcA(window, message, wParam, lParam);
    app.openRouteHistory();
    return 0;
}

struct CommandEntry {
    WORD id;
    void (*action)(TraceApp& app);
};

constexpr CommandEntry kCommands[] = {
    {IDM_EXIT, commandExit},         {IDM_ABOUT, commandAbout},     {IDM_STARTSTOP, commandStartStop},
    {IDM_COPY, commandCopy},         {IDM_OPTIONS, commandOptions},
};

// Only the identifier counts: a button click and its menu item are the same command,
// and notifications of the address box and the list (identifier 0) match nothing.
LRESULT onCommand(TraceApp& app, HWND, UINT, WPARAM wParam, LPARAM) {
    const WORD id = LOWORD(wParam);
    for (const CommandEntry& entry : kCommands) {
        if (entry.id == id) {
            entry.action(app);
            break;
        }
    }
    return 0;
}

// Activating a row opens its hop's timeline: a double-click names its row, Enter in the
// list acts on the focused one. The list's item-activate notification is not used: for
// a key, Wine's list sends only its header, so the row beyond it would be read from
// whatever lies there.
LRESULT onNotify(TraceApp& app, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    const bool click = header != nullptr && header->code == NM_DBLCLK;
    if (header == nullptr || header->hwndFrom != app.listView || (!click && header->code != NM_RETURN)) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    const int row = click ? reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem
                          : static_cast<int>(SendMessageA(app.listView, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
    app.openTimeline(row);
    return 0;
}

struct MessageEntry {
    UINT message;
    MessageHandler handler;
};

constexpr MessageEntry kMessages[] = {
    {WM_DESTROY, onDestroy}, {WM_SIZE, onSize},       {WM_PAINT, onPaint},
    {WM_CLOSE, onClose},     {WM_COMMAND, onCommand}, {WM_ENDSESSION, onEndSession},
    {WM_DPICHANGED, onDpiChanged},
    {WM_NOTIFY, onNotify},           {WM_SYSCOMMAND, onSysCommand},
};

void place(HWND control, const ControlRect& rect) {
    MoveWindow(control, rect.left, rect.top, rect.width, rect.height, TRUE);
}

}  // namespace

LRESULT TraceApp::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageEntry& entry : kMessages) {
        if (entry.message == message) return entry.handler(*this, window, message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The main window gets size messages while it is being created, before its controls
// exist; those change nothing. A minimised window (0 x 0) gets zero sizes from
// computeLayout rather than negative ones.
void TraceApp::layoutControls(unsigned clientWidth, unsigned clientHeight) {
    if (listView == nullptr || addressBox == nullptr || startButton == nullptr ||
        copyButton == nullptr || optionsButton == nullptr) {
        return;
    }
    const ControlLayout layout = computeLayout(clientWidth, clientHeight, barHeight, dpi);
    place(listView, layout.listView);
    place(addressBox, layout.addressBox);
    place(startButton, layout.startButton);
    place(copyButton, layout.copyButton);
    place(optionsButton, layout.optionsButton);
}

// The address enters the history before it is resolved, so an address that does not
// resolve is remembered too; the list is emptied before the table restarts at hop 1.
void TraceApp::toggleTrace() {
    if (hopTable == nullptr) return;
    if (hopTable->isRunning()) {
        hopTable->stop();
        SetWindowTextA(startButton, kStartText);
        return;
    }
    char address[kWindowTextSize];
    address[0] = '\0';
    GetWindowTextA(addressBox, address, kWindowTextSize);
    if (address[0] == '\0') return;
    rememberAddress(address);
    SendMessageA(listView, LVM_DELETEALLITEMS, 0, 0);
    restartTimelines();
    restartRoute(address);
    hopTable->start(address);
    if (hopTable->isRunning()) SetWindowTextA(startButton, kStopText);
}
