// Works the boxes and dialogs of a running lumentrax.exe from outside, for the
// end-to-end tests of the clipboard, the Options dialog and the settings file.
//
// Commands (exit status 0 = done, 1 = not found or timed out, 2 = usage):
//   dialog_driver copy SECONDS          post Copy (40005), wait for the confirmation box,
//                                       print its text on stderr as "box: TEXT", write the
//                                       clipboard's CF_TEXT bytes unchanged to stdout,
//                                       press OK and wait until the box is gone
//   dialog_driver options T P H D SECONDS   post Options (40007), type timeout T, packet
//                                       size P, hop limit H, tick the box when D is 1,
//                                       press OK and wait until the dialog is gone
//   dialog_driver show-options SECONDS  open Options, print "T P H D" as shown, Cancel
//   dialog_driver place X Y W H         move and size the main window
//   dialog_driver rect                  print the main window's "X Y W H"
//   dialog_driver history               print the address box's list, one entry a line
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kPollMs = 100;
constexpr int kTextSize = 512;

HWND mainWindow() { return FindWindowA("LumentraxClass", nullptr); }

template <typename Condition>
bool waitFor(int seconds, Condition done) {
    const DWORD begin = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - begin >= static_cast<DWORD>(seconds) * 1000) return false;
        Sleep(kPollMs);
    }
}

HWND waitForBox(const char* caption, int seconds) {
    HWND box = nullptr;
    waitFor(seconds, [&] {
        box = FindWindowA("#32770", caption);
        return box != nullptr && IsWindowVisible(box);
    });
    return box;
}

bool waitGone(const char* caption, int seconds) {
    return waitFor(seconds, [&] { return FindWindowA("#32770", caption) == nullptr; });
}

void controlText(HWND dialog, int control, char (&text)[kTextSize]) {
    text[0] = '\0';
    SendMessageA(GetDlgItem(dialog, control), WM_GETTEXT, kTextSize, reinterpret_cast<LPARAM>(text));
}

bool postCommand(WORD id) {
    HWND main = mainWindow();
    return main != nullptr && PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void writeClipboard() {
    if (!OpenClipboard(nullptr)) return;
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* bytes = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (bytes != nullptr) {
        _setmode(_fileno(stdout), _O_BINARY);
        std::fwrite(bytes, 1, strnlen(bytes, GlobalSize(data)), stdout);
        std::fflush(stdout);
        GlobalUnlock(data);
    }
    CloseClipboard();
}

int copy(int seconds) {
    if (!postCommand(40005)) return 1;
    HWND box = waitForBox("Copy to clipboard", seconds);
    if (box == nullptr) return 1;
    char text[kTextSize];
    controlText(box, 0xFFFF, text);
    std::fprintf(stderr, "box: %s\n", text);
    writeClipboard();
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    return waitGone("Copy to clipboard", seconds) ? 0 : 1;
}

int options(char** values, int seconds, bool change) {
    if (!postCommand(40007)) return 1;
    HWND dialog = waitForBox("Options", seconds);
    if (dialog == nullptr) return 1;
    if (change) {
        SetDlgItemTextA(dialog, 1000, values[0]);
        SetDlgItemTextA(dialog, 1001, values[1]);
        SetDlgItemTextA(dialog, 1002, values[2]);
        CheckDlgButton(dialog, 1003, std::atoi(values[3]) != 0 ? BST_CHECKED : BST_UNCHECKED);
    } else {
        char timeout[kTextSize], size[kTextSize], hops[kTextSize];
        controlText(dialog, 1000, timeout);
        controlText(dialog, 1001, size);
        controlText(dialog, 1002, hops);
        std::printf("%s %s %s %d\n", timeout, size, hops, IsDlgButtonChecked(dialog, 1003) == BST_CHECKED ? 1 : 0);
    }
    PostMessageA(GetDlgItem(dialog, change ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
    return waitGone("Options", seconds) ? 0 : 1;
}

int history() {
    HWND main = mainWindow();
    HWND box = main != nullptr ? FindWindowExA(main, nullptr, "ComboBox", nullptr) : nullptr;
    if (box == nullptr) return 1;
    const int count = static_cast<int>(SendMessageA(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        // Across processes Wine hands list texts over in UTF-16 whatever the caller asked
        // for, so they are fetched as such and converted here.
        wchar_t wide[kTextSize] = {};
        char text[kTextSize] = {};
        if (SendMessageW(box, CB_GETLBTEXTLEN, i, 0) >= kTextSize) return 1;
        SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        std::printf("%s\n", text);
    }
    return 0;
}

int rect() {
    RECT outer;
    HWND main = mainWindow();
    if (main == nullptr || !GetWindowRect(main, &outer)) return 1;
    std::printf("%ld %ld %ld %ld\n", outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top);
    return 0;
}

int place(char** values) {
    HWND main = mainWindow();
    if (main == nullptr) return 1;
    return SetWindowPos(main, nullptr, std::atoi(values[0]), std::atoi(values[1]), std::atoi(values[2]),
                        std::atoi(values[3]), SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const char* command = argv[1];
    if (std::strcmp(command, "copy") == 0 && argc == 3) return copy(std::atoi(argv[2]));
    if (std::strcmp(command, "options") == 0 && argc == 7) return options(argv + 2, std::atoi(argv[6]), true);
    if (std::strcmp(command, "show-options") == 0 && argc == 3) return options(nullptr, std::atoi(argv[2]), false);
    if (std::strcmp(command, "place") == 0 && argc == 6) return place(argv + 2);
    if (std::strcmp(command, "rect") == 0) return rect();
    if (std::strcmp(command, "history") == 0) return history();
    std::fprintf(stderr, "usage: dialog_driver COMMAND [ARGS] (see the head of dialog_driver.cpp)\n");
    return 2;
}
