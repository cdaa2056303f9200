// The outside driver's shared pieces: lumentrax.exe's main window, its children and
// dialogs, texts read with WM_GETTEXT across processes, and the clipboard's text.
#include "driver_windows.h"

#include <fcntl.h>
#include <io.h>

#include <cstring>

namespace driver {

HWND mainWindow() { return FindWindowA("LumentraxClass", nullptr); }

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
