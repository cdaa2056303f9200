// Drives a running lumentrax.exe from outside, for end-to-end tests: finds its main
// window and reads the results list across processes (the list's texts live in the
// other process, so the item records and text buffers are placed in its memory).
//
// Commands (exit status 0 = done, 1 = not found or timed out, 2 = usage):
//   list_driver wait-window SECONDS          wait until the main window exists
//   list_driver rows                         print every row: box image, then the ten
//                                            cells, tab-separated (box 1 clear, 2 ticked)
//   list_driver wait-count N SECONDS         wait until the list has at least N rows
//   list_driver wait-cell ROW COL TEXT SECONDS   wait until cell (ROW, COL), 0-based, reads TEXT
//   list_driver wait-min ROW COL N SECONDS   wait until the number in cell (ROW, COL) is >= N
//   list_driver button                       print the Start/Stop button's text
//   list_driver wait-button TEXT SECONDS     wait until the Start/Stop button reads TEXT
//   list_driver text                         print the address box's text
//   list_driver command ID                   post WM_COMMAND with identifier ID (e.g. 40005)
//   list_driver close                        post WM_CLOSE to the main window
//   list_driver wait-gone SECONDS            wait until the main window is gone
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kCellSize = 512;
constexpr int kPollMs = 200;

HWND mainWindow() { return FindWindowA("LumentraxClass", nullptr); }

HWND child(const char* className) {
    HWND main = mainWindow();
    return main != nullptr ? FindWindowExA(main, nullptr, className, nullptr) : nullptr;
}

// One item record and one text buffer inside the program's own memory.
struct RemoteBlock {
    HANDLE process = nullptr;
    char* base = nullptr;

    bool open(HWND list) {
        DWORD processId = 0;
        GetWindowThreadProcessId(list, &processId);
        process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                              processId);
        if (process == nullptr) return false;
        base = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kCellSize,
                                                 MEM_COMMIT, PAGE_READWRITE));
        return base != nullptr;
    }

    ~RemoteBlock() {
        if (base != nullptr) VirtualFreeEx(process, base, 0, MEM_RELEASE);
        if (process != nullptr) CloseHandle(process);
    }

    void cellText(HWND list, int row, int column, char (&out)[kCellSize]) {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = base + sizeof(LVITEMA);
        item.cchTextMax = kCellSize;
        const char empty = '\0';
        out[0] = '\0';
        SIZE_T moved = 0;
        WriteProcessMemory(process, base, &item, sizeof item, &moved);
        WriteProcessMemory(process, item.pszText, &empty, 1, &moved);
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(base));
        ReadProcessMemory(process, item.pszText, out, kCellSize, &moved);
        out[kCellSize - 1] = '\0';
    }
};

int rowCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

int boxImage(HWND list, int row) {
    return static_cast<int>((SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) &
                             LVIS_STATEIMAGEMASK) >> 12);
}

bool readCell(int row, int column, char (&out)[kCellSize]) {
    HWND list = child("SysListView32");
    RemoteBlock block;
    if (list == nullptr || row >= rowCount(list) || !block.open(list)) return false;
    block.cellText(list, row, column, out);
    return true;
}

int printRows() {
    HWND list = child("SysListView32");
    RemoteBlock block;
    if (list == nullptr || !block.open(list)) return 1;
    const int rows = rowCount(list);
    for (int r = 0; r < rows; ++r) {
        std::printf("%d", boxImage(list, r));
        for (int c = 0; c < 10; ++c) {
            char text[kCellSize];
            block.cellText(list, r, c, text);
            std::printf("\t%s", text);
        }
        std::printf("\n");
    }
    return 0;
}

// Polls `done` until it holds or `seconds` have passed.
template <typename Condition>
int waitFor(const char* seconds, Condition done) {
    const DWORD limitMs = static_cast<DWORD>(std::atoi(seconds)) * 1000;
    const DWORD begin = GetTickCount();
    for (;;) {
        if (done()) return 0;
        if (GetTickCount() - begin >= limitMs) return 1;
        Sleep(kPollMs);
    }
}

// WM_GETTEXT itself: GetWindowTextA on another process's window returns only the
// stored caption, which for the address box is not what its edit field shows.
void windowText(HWND window, char (&text)[kCellSize]) {
    text[0] = '\0';
    if (window != nullptr) SendMessageA(window, WM_GETTEXT, kCellSize, reinterpret_cast<LPARAM>(text));
}

int printText(HWND window) {
    if (window == nullptr) return 1;
    char text[kCellSize];
    windowText(window, text);
    std::printf("%s\n", text);
    return 0;
}

int post(UINT message, WPARAM wParam) {
    HWND main = mainWindow();
    return main != nullptr && PostMessageA(main, message, wParam, 0) ? 0 : 1;
}

int usage() {
    std::fprintf(stderr, "usage: list_driver COMMAND [ARGS] (see the head of list_driver.cpp)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const char* command = argv[1];
    if (std::strcmp(command, "wait-window") == 0 && argc == 3) {
        return waitFor(argv[2], [] { return mainWindow() != nullptr && child("SysListView32") != nullptr; });
    }
    if (std::strcmp(command, "wait-gone") == 0 && argc == 3) {
        return waitFor(argv[2], [] { return mainWindow() == nullptr; });
    }
    if (std::strcmp(command, "rows") == 0) return printRows();
    if (std::strcmp(command, "wait-count") == 0 && argc == 4) {
        const int wanted = std::atoi(argv[2]);
        return waitFor(argv[3], [wanted] {
            HWND list = child("SysListView32");
            return list != nullptr && rowCount(list) >= wanted;
        });
    }
    if (std::strcmp(command, "wait-cell") == 0 && argc == 6) {
        const int row = std::atoi(argv[2]), column = std::atoi(argv[3]);
        const char* wanted = argv[4];
        return waitFor(argv[5], [=] {
            char text[kCellSize];
            return readCell(row, column, text) && std::strcmp(text, wanted) == 0;
        });
    }
    if (std::strcmp(command, "wait-min") == 0 && argc == 6) {
        const int row = std::atoi(argv[2]), column = std::atoi(argv[3]);
        const long long wanted = std::atoll(argv[4]);
        return waitFor(argv[5], [=] {
            char text[kCellSize];
            return readCell(row, column, text) && text[0] != '\0' && std::atoll(text) >= wanted;
        });
    }
    if (std::strcmp(command, "button") == 0) return printText(child("Button"));
    if (std::strcmp(command, "wait-button") == 0 && argc == 4) {
        const char* wanted = argv[2];
        return waitFor(argv[3], [wanted] {
            char text[kCellSize];
            windowText(child("Button"), text);
            return std::strcmp(text, wanted) == 0;
        });
    }
    if (std::strcmp(command, "text") == 0) return printText(child("ComboBox"));
    if (std::strcmp(command, "command") == 0 && argc == 3) {
        return post(WM_COMMAND, MAKEWPARAM(std::atoi(argv[2]), 0));
    }
    if (std::strcmp(command, "close") == 0) return post(WM_CLOSE, 0);
    return usage();
}
