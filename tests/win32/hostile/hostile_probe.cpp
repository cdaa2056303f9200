// Looks at and pokes a running lumentrax.exe from outside for the fault-injection and
// soak tests: its dialogs, handle count, clipboard text and address box, and whether a
// DLL can be loaded at all under the current Wine overrides.
//
// Commands (exit status 0 = done, 1 = not found or failed, 2 = usage):
//   hostile_probe loadlib NAME                 try LoadLibraryA(NAME); print "loaded" or "missing"
//   hostile_probe dialogs                      print one line per dialog window of the program
//                                              (class #32770), its title; nothing when none
//   hostile_probe wait-dialog TITLE SECONDS    wait until a dialog of the program has TITLE
//   hostile_probe fields TITLE                 print the texts of controls 1000 1001 1002 and the
//                                              check state of 1003 of dialog TITLE, tab-separated
//   hostile_probe ok TITLE                     post the OK command (IDOK) to dialog TITLE
//   hostile_probe handles                      print the program's Windows handle count
//                                              (GetProcessHandleCount, or where that gives 0, as
//                                              some Wine versions do, the system handle table)
//   hostile_probe clipboard FILE               write the clipboard's text, byte for byte, to FILE
//   hostile_probe set-address TEXT             put TEXT into the address box's edit field
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kPollMs = 200;
constexpr int kTitleSize = 256;

HWND mainWindow() { return FindWindowA("LumentraxClass", nullptr); }

DWORD programId() {
    DWORD id = 0;
    HWND main = mainWindow();
    if (main != nullptr) GetWindowThreadProcessId(main, &id);
    return id;
}

// The dialogs of the program: top-level windows of its process with the dialog class.
struct DialogSearch {
    DWORD processId;
    const char* title;  // null: every dialog
    HWND found;
    int count;
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
    char title[kTitleSize];
    title[0] = '\0';
    GetWindowTextA(window, title, sizeof title);
    if (search.title != nullptr && std::strcmp(title, search.title) != 0) return TRUE;
    ++search.count;
    search.found = window;
    if (search.print) std::printf("%s\n", title);
    return TRUE;
}

HWND findDialog(const char* title, bool print) {
    DialogSearch search{programId(), title, nullptr, 0, print};
    if (search.processId == 0) return nullptr;
    EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int waitDialog(const char* title, const char* seconds) {
    const DWORD limitMs = static_cast<DWORD>(std::atoi(seconds)) * 1000;
    const DWORD begin = GetTickCount();
    while (findDialog(title, false) == nullptr) {
        if (GetTickCount() - begin >= limitMs) return 1;
        Sleep(kPollMs);
    }
    return 0;
}

int printFields(const char* title) {
    HWND dialog = findDialog(title, false);
    if (dialog == nullptr) return 1;
    for (int control = 1000; control <= 1002; ++control) {
        char text[kTitleSize];
        text[0] = '\0';
        // WM_GETTEXT itself: it reads what the field shows, also across processes.
        SendMessageA(GetDlgItem(dialog, control), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        std::printf("%s\t", text);
    }
    std::printf("%d\n", static_cast<int>(SendMessageA(GetDlgItem(dialog, 1003), BM_GETCHECK, 0, 0)));
    return 0;
}

int pressOk(const char* title) {
    HWND dialog = findDialog(title, false);
    if (dialog == nullptr) return 1;
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)))
               ? 0
               : 1;
}

// One entry of the system handle table (information class 16).
struct SystemHandleEntry {
    ULONG ownerProcessId;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

struct SystemHandleTable {
    ULONG count;
    SystemHandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG infoClass, PVOID buffer, ULONG length, PULONG needed);

// Counts the table's entries owned by process `id`; -1 when the table cannot be read.
long countInSystemTable(DWORD id) {
    auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return -1;
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    for (ULONG size = 1 << 16; size <= (1u << 26); size *= 2) {
        auto* table = static_cast<SystemHandleTable*>(std::malloc(size));
        if (table == nullptr) return -1;
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, table, size, &needed);
        if (status == kLengthMismatch) {
            std::free(table);
            continue;
        }
        long count = -1;
        if (status >= 0) {
            count = 0;
            for (ULONG i = 0; i < table->count; ++i) count += table->entries[i].ownerProcessId == id;
        }
        std::free(table);
        return count;
    }
    return -1;
}

int printHandles() {
    DWORD id = programId();
    if (id == 0) return 1;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
    if (process == nullptr) return 1;
    DWORD count = 0;
    BOOL ok = GetProcessHandleCount(process, &count);
    CloseHandle(process);
    long total = ok ? static_cast<long>(count) : 0;
    if (total == 0) total = countInSystemTable(id);
    if (total <= 0) return 1;
    std::printf("%ld\n", total);
    return 0;
}

int saveClipboard(const char* path) {
    if (!OpenClipboard(nullptr)) return 1;
    int status = 1;
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (text != nullptr) {
        FILE* file = std::fopen(path, "wb");
        if (file != nullptr) {
            std::fwrite(text, 1, std::strlen(text), file);
            status = std::fclose(file) == 0 ? 0 : 1;
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    return status;
}

// The combo box's edit field is its child; WM_SETTEXT carries the text across processes.
int setAddress(const char* text) {
    HWND main = mainWindow();
    HWND box = main != nullptr ? FindWindowExA(main, nullptr, "ComboBox", nullptr) : nullptr;
    HWND edit = box != nullptr ? FindWindowExA(box, nullptr, "Edit", nullptr) : nullptr;
    if (edit == nullptr) return 1;
    return SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? 0 : 1;
}

int usage() {
    std::fprintf(stderr, "usage: hostile_probe COMMAND [ARGS] (see the head of hostile_probe.cpp)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const char* command = argv[1];
    if (std::strcmp(command, "loadlib") == 0 && argc == 3) {
        HMODULE library = LoadLibraryA(argv[2]);
        std::printf("%s\n", library != nullptr ? "loaded" : "missing");
        return library != nullptr ? 0 : 1;
    }
    if (std::strcmp(command, "dialogs") == 0 && argc == 2) {
        if (programId() == 0) return 1;
        findDialog(nullptr, true);
        return 0;
    }
    if (std::strcmp(command, "wait-dialog") == 0 && argc == 4) return waitDialog(argv[2], argv[3]);
    if (std::strcmp(command, "fields") == 0 && argc == 3) return printFields(argv[2]);
    if (std::strcmp(command, "ok") == 0 && argc == 3) return pressOk(argv[2]);
    if (std::strcmp(command, "handles") == 0 && argc == 2) return printHandles();
    if (std::strcmp(command, "clipboard") == 0 && argc == 3) return saveClipboard(argv[2]);
    if (std::strcmp(command, "set-address") == 0 && argc == 3) return setAddress(argv[2]);
    return usage();
}
