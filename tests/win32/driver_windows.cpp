// The outside driver's shared pieces: lumentrax.exe's main window, its children and
// dialogs, texts read with WM_GETTEXT across processes, and the clipboard's text.
#include "driver_windows.h"

#include <fcntl.h>
#include <io.h>

#include <cstring>

#include "ui/resource.h"

namespace driver {

HWND mainWindow() { return FindWindowA(kMainWindowClass, nullptr); }

HWND child(const char* className) {
    HWND main = mainWindow();
    return main != nullptr ? FindWindowExA(main, nullptr, className, nullptr) : nullptr;
}

DWORD programId() {
    DWORD id = 0;
    HWND main = mainWindow();
    if (main != nullptr) GetWindowThreadProcessId(main, &id);
    return id;
}

// WM_GETTEXT itself: GetWindowTextA on another process's window returns only the
// stored caption, which for the address box is not what its edit field shows.
void windowText(HWND window, char (&text)[kTextSize]) {
    text[0] = '\0';
    if (window != nullptr) SendMessageA(window, WM_GETTEXT, kTextSize, reinterpret_cast<LPARAM>(text));
}

void controlText(HWND dialog, int control, char (&text)[kTextSize]) { windowText(GetDlgItem(dialog, control), text); }

int printText(HWND window) {
    if (window == nullptr) return 1;
    char text[kTextSize];
    windowText(window, text);
    std::printf("%s\n", text);
    return 0;
}

bool postToMain(UINT message, WPARAM wParam) {
    HWND main = mainWindow();
    return main != nullptr && PostMessageA(main, message, wParam, 0);
}

bool postCommand(WORD id) { return postToMain(WM_COMMAND, MAKEWPARAM(id, 0)); }

// The Options button's pushed state serves as a marker that the program handles like any
// posted message. Its thread has one queue, first in, first out: once the marker posted
// after the first one was seen handled is handled too, the program is in a message loop
// and has handled everything posted before, its own start-up Start included.
int settle(const char* seconds) {
    HWND main = mainWindow();
    HWND marker = main != nullptr ? FindWindowExA(main, nullptr, "Button", "Options") : nullptr;
    if (marker == nullptr) return 1;
    const auto pushed = [marker] { return (SendMessageA(marker, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; };
    if (!PostMessageA(marker, BM_SETSTATE, TRUE, 0) || waitFor(seconds, pushed) != 0) return 1;
    if (!PostMessageA(marker, BM_SETSTATE, FALSE, 0)) return 1;
    return waitFor(seconds, [&pushed] { return !pushed(); });
}

namespace {

struct DialogSearch {
    DWORD processId;
    const char* title;
    HWND found;
    bool print;
};

BOOL CALLBACK visitWindow(HWND window, LPARAM context) {
    DialogSearch& search = *reinterpret_cast<DialogSearch*>(context);
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    char className[64];
    if (id != search.processId || GetClassNameA(window, className, sizeof className) == 0 ||
        std::strcmp(className, "#32770") != 0) {
        return TRUE;
    }
    char title[kTextSize];
    title[0] = '\0';
    GetWindowTextA(window, title, sizeof title);
    if (search.title != nullptr && std::strcmp(title, search.title) != 0) return TRUE;
    search.found = window;
    if (search.print) std::printf("%s\n", title);
    return TRUE;
}

}  // namespace

// Only the program's own windows count, so a box of another process cannot stand in.
HWND findDialog(const char* title, bool print) {
    DialogSearch search{programId(), title, nullptr, print};
    if (search.processId == 0) return nullptr;
    EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitDialog(const char* title, const char* seconds) {
    HWND dialog = nullptr;
    waitFor(seconds, [&] {
        dialog = findDialog(title, false);
        return dialog != nullptr && IsWindowVisible(dialog);
    });
    return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
}

int waitDialogGone(const char* title, const char* seconds) {
    return waitFor(seconds, [title] { return findDialog(title, false) == nullptr; });
}

int pressButton(HWND dialog, int id) {
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)))
               ? 0
               : 1;
}

// Timeline windows are told apart by the hop number that heads their titles.
HWND timelineWindow(int row) {
    char head[32];
    std::snprintf(head, sizeof head, "Hop %d - ", row + 1);
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, kTimelineWindowClass, nullptr)) != nullptr;) {
        char title[kTextSize];
        windowText(w, title);
        if (std::strncmp(title, head, std::strlen(head)) == 0) return w;
    }
    return nullptr;
}

int timelines(char**) {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, kTimelineWindowClass, nullptr)) != nullptr;) printText(w);
    return 0;
}

// The clipboard is emptied first, so the text read is the one this copy put there.
int copyFrom(HWND window, WORD command, const char* seconds) {
    if (window == nullptr || !OpenClipboard(nullptr)) return 1;
    EmptyClipboard();
    CloseClipboard();
    if (!PostMessageA(window, WM_COMMAND, MAKEWPARAM(command, 0), 0)) return 1;
    if (waitFor(seconds, [] { return IsClipboardFormatAvailable(CF_TEXT) != 0; }) != 0) return 1;
    return writeClipboard(stdout);
}

int timelineCopy(char** args) { return copyFrom(timelineWindow(std::atoi(args[0])), IDM_TIMELINE_COPY, args[1]); }

int routeHistory(char** args) {
    HWND window = nullptr;
    const auto found = [&] { return (window = FindWindowA(kRouteHistoryWindowClass, nullptr)) != nullptr; };
    return postToMain(WM_SYSCOMMAND, IDM_ROUTE_HISTORY) && waitFor(args[0], found) == 0 ? printText(window) : 1;
}

int routeHistoryCopy(char** args) {
    return copyFrom(FindWindowA(kRouteHistoryWindowClass, nullptr), IDM_ROUTE_HISTORY_COPY, args[0]);
}

int writeClipboard(FILE* out) {
    if (!OpenClipboard(nullptr)) return 1;
    int status = 1;
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* bytes = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (bytes != nullptr) {
        // Bounded by the block's size: a text without its terminator is not read past.
        const size_t length = strnlen(bytes, GlobalSize(data));
        _setmode(_fileno(out), _O_BINARY);
        status = std::fwrite(bytes, 1, length, out) == length && std::fflush(out) == 0 ? 0 : 1;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return status;
}

}  // namespace driver
