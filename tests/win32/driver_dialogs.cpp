// The outside driver's work on boxes and dialogs: Copy with its confirmation box, the
// Options dialog, the address box and its list, and the main window's geometry.
#include <cstring>

#include "driver_windows.h"
#include "ui/resource.h"

namespace driver {

namespace {

// Opens the dialog through the main window's command and waits until it shows.
HWND openDialog(WORD command, const char* title, const char* seconds) {
    if (!postCommand(command)) return nullptr;
    return waitDialog(title, seconds);
}

int closeDialog(HWND dialog, int button, const char* title, const char* seconds) {
    if (pressButton(dialog, button) != 0) return 1;
    return waitDialogGone(title, seconds);
}

HWND addressBox() { return child("ComboBox"); }

}  // namespace

int copy(char** args) {
    const char* title = "Copy to clipboard";
    HWND box = openDialog(IDM_COPY, title, args[0]);
    if (box == nullptr) return 1;
    char text[kTextSize];
    controlText(box, 0xFFFF, text);
    std::fprintf(stderr, "box: %s\n", text);
    writeClipboard(stdout);
    return closeDialog(box, IDOK, title, args[0]);
}

int setOptions(char** args) {
    HWND dialog = openDialog(IDM_OPTIONS, OPTIONS_CAPTION, args[4]);
    if (dialog == nullptr) return 1;
    SetDlgItemTextA(dialog, IDC_TIMEOUT, args[0]);
    SetDlgItemTextA(dialog, IDC_PACKETSIZE, args[1]);
    SetDlgItemTextA(dialog, IDC_MAXHOPS, args[2]);
    CheckDlgButton(dialog, IDC_REVERSEDNS, std::atoi(args[3]) != 0 ? BST_CHECKED : BST_UNCHECKED);
    return closeDialog(dialog, IDOK, OPTIONS_CAPTION, args[4]);
}

int readOptions(char** args) {
    const bool ok = std::strcmp(args[0], "ok") == 0;
    if (!ok && std::strcmp(args[0], "cancel") != 0) return 2;
    HWND dialog = openDialog(IDM_OPTIONS, OPTIONS_CAPTION, args[1]);
    if (dialog == nullptr) return 1;
    char timeout[kTextSize], size[kTextSize], hops[kTextSize];
    controlText(dialog, IDC_TIMEOUT, timeout);
    controlText(dialog, IDC_PACKETSIZE, size);
    controlText(dialog, IDC_MAXHOPS, hops);
    const bool ticked = IsDlgButtonChecked(dialog, IDC_REVERSEDNS) == BST_CHECKED;
    std::printf("%s\t%s\t%s\t%d\n", timeout, size, hops, ticked ? 1 : 0);
    std::fflush(stdout);
    return closeDialog(dialog, ok ? IDOK : IDCANCEL, OPTIONS_CAPTION, args[1]);
}

int dialogs(char**) {
    if (programId() == 0) return 1;
    findDialog(nullptr, true);
    return 0;
}

int history(char**) {
    HWND box = addressBox();
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

// The combo box's edit field is its child; WM_SETTEXT carries the text across processes.
int setAddress(char** args) {
    HWND box = addressBox();
    HWND edit = box != nullptr ? FindWindowExA(box, nullptr, "Edit", nullptr) : nullptr;
    if (edit == nullptr) return 1;
    return SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[0])) ? 0 : 1;
}

int rect(char**) {
    RECT outer;
    HWND main = mainWindow();
    if (main == nullptr || !GetWindowRect(main, &outer)) return 1;
    std::printf("%ld %ld %ld %ld\n", outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top);
    return 0;
}

int place(char** args) {
    HWND main = mainWindow();
    if (main == nullptr) return 1;
    return SetWindowPos(main, nullptr, std::atoi(args[0]), std::atoi(args[1]), std::atoi(args[2]),
                        std::atoi(args[3]), SWP_NOZORDER | SWP_NOACTIVATE)
               ? 0
               : 1;
}

}  // namespace driver
