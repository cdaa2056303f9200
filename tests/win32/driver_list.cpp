// The outside driver's list reading: the results list's texts live in lumentrax.exe's
// memory, so an item record and a text buffer are placed there and read back.
#include "driver_windows.h"

#include <commctrl.h>

#include "settings/column_count.h"

namespace driver {

namespace {

// One item record and one text buffer inside the program's own memory.
struct RemoteBlock {
    HANDLE process = nullptr;
    char* base = nullptr;

    bool open(HWND list) {
        DWORD processId = 0;
        GetWindowThreadProcessId(list, &processId);
        process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process == nullptr) return false;
        base = static_cast<char*>(
            VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kTextSize, MEM_COMMIT, PAGE_READWRITE));
        return base != nullptr;
    }

    ~RemoteBlock() {
        if (base != nullptr) VirtualFreeEx(process, base, 0, MEM_RELEASE);
        if (process != nullptr) CloseHandle(process);
    }

    // Where cell (row, 1) lies in the list's client area; its middle is clear of the box.
    POINT cellMiddle(HWND list, int row) {
        RECT rect{LVIR_BOUNDS, 1, 0, 0};
        SIZE_T moved = 0;
        WriteProcessMemory(process, base, &rect, sizeof rect, &moved);
        SendMessageA(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(base));
        ReadProcessMemory(process, base, &rect, sizeof rect, &moved);
        return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }

    void cellText(HWND list, int row, int column, char (&out)[kTextSize]) {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = base + sizeof(LVITEMA);
        item.cchTextMax = kTextSize;
        const char empty = '\0';
        out[0] = '\0';
        SIZE_T moved = 0;
        WriteProcessMemory(process, base, &item, sizeof item, &moved);
        WriteProcessMemory(process, item.pszText, &empty, 1, &moved);
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(base));
        ReadProcessMemory(process, item.pszText, out, kTextSize, &moved);
        out[kTextSize - 1] = '\0';
    }
};

HWND listView() { return child("SysListView32"); }

int rowCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

int boxImage(HWND list, int row) {
    return static_cast<int>((SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >>
                            12);
}

bool readCell(int row, int column, char (&out)[kTextSize]) {
    HWND list = listView();
    RemoteBlock block;
    if (list == nullptr || row >= rowCount(list) || !block.open(list)) return false;
    block.cellText(list, row, column, out);
    return true;
}

}  // namespace

int rows(char**) {
    HWND list = listView();
    RemoteBlock block;
    if (list == nullptr || !block.open(list)) return 1;
    const int count = rowCount(list);
    for (int r = 0; r < count; ++r) {
        std::printf("%d", boxImage(list, r));
        for (int c = 0; c < kColumnCount; ++c) {
            char text[kTextSize];
            block.cellText(list, r, c, text);
            std::printf("\t%s", text);
        }
        std::printf("\n");
    }
    return 0;
}

// A double-click on the row, as the list gets it from the mouse; then the hop's timeline
// window is waited for and its title printed.
int activate(char** args) {
    const int row = std::atoi(args[0]);
    HWND list = listView();
    RemoteBlock block;
    if (list == nullptr || row >= rowCount(list) || !block.open(list)) return 1;
    const POINT at = block.cellMiddle(list, row);
    PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    HWND window = nullptr;
    if (waitFor(args[1], [&] { return (window = timelineWindow(row)) != nullptr; }) != 0) return 1;
    return printText(window);
}

int waitCount(char** args) {
    const int wanted = std::atoi(args[0]);
    return waitFor(args[1], [wanted] {
        HWND list = listView();
        return list != nullptr && rowCount(list) >= wanted;
    });
}

int waitMin(char** args) {
    const int row = std::atoi(args[0]), column = std::atoi(args[1]);
    const long long wanted = std::atoll(args[2]);
    return waitFor(args[3], [=] {
        char text[kTextSize];
        return readCell(row, column, text) && text[0] != '\0' && std::atoll(text) >= wanted;
    });
}

}  // namespace driver
