// The outside driver's look at the program as a process: its Windows handle count, the
// clipboard saved to a file, and whether a DLL loads under the current Wine overrides.
#include "driver_windows.h"

namespace driver {

namespace {

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

}  // namespace

// GetProcessHandleCount, or where that gives 0, as some Wine versions do, the system
// handle table.
int handles(char**) {
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

int saveClipboard(char** args) {
    FILE* file = std::fopen(args[0], "wb");
    if (file == nullptr) return 1;
    const int status = writeClipboard(file);
    return std::fclose(file) == 0 ? status : 1;
}

int loadLibrary(char** args) {
    HMODULE library = LoadLibraryA(args[0]);
    std::printf("%s\n", library != nullptr ? "loaded" : "missing");
    return library != nullptr ? 0 : 1;
}

}  // namespace driver
