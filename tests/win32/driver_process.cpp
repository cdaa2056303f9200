// The outside driver's look at the program as a process and as a file: its Windows
// handle count, whether a DLL loads under the current Wine overrides, and the version
// and manifest resources of an exe as Windows reads them.
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

int loadLibrary(char** args) {
    HMODULE library = LoadLibraryA(args[0]);
    std::printf("%s\n", library != nullptr ? "loaded" : "missing");
    return library != nullptr ? 0 : 1;
}

// The fixed part of the version resource, then its strings in the first language the
// resource lists, "Name=Value" a line (an empty value where a string is missing).
int versionInfo(char** args) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(args[0], &ignored);
    if (size == 0) return 1;
    void* data = std::malloc(size);
    if (data == nullptr || !GetFileVersionInfoA(args[0], 0, size, data)) {
        std::free(data);
        return 1;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    struct Language {
        WORD id;
        WORD codePage;
    }* languages = nullptr;
    UINT length = 0;
    UINT languagesLength = 0;
    const bool found =
        VerQueryValueA(data, "\\", reinterpret_cast<void**>(&fixed), &length) && length >= sizeof *fixed &&
        VerQueryValueA(data, "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&languages),
                       &languagesLength) &&
        languagesLength >= sizeof *languages;
    if (found) {
        std::printf("FixedFileVersion=%u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                    HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
        std::printf("FixedProductVersion=%u.%u.%u.%u\n", HIWORD(fixed->dwProductVersionMS),
                    LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
                    LOWORD(fixed->dwProductVersionLS));
        const char* const kNames[] = {"FileVersion",    "ProductVersion", "ProductName",
                                      "FileDescription", "LegalCopyright", "OriginalFilename"};
        for (const char* name : kNames) {
            char path[128];
            std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", languages->id, languages->codePage,
                          name);
            char* value = nullptr;
            UINT valueLength = 0;
            if (!VerQueryValueA(data, path, reinterpret_cast<void**>(&value), &valueLength)) value = nullptr;
            std::printf("%s=%s\n", name, value != nullptr ? value : "");
        }
    }
    std::free(data);
    return found ? 0 : 1;
}

// The program manifest (resource type 24, identifier 1) of an exe, byte for byte.
int manifest(char** args) {
    HMODULE module = LoadLibraryExA(args[0], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return 1;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes != nullptr) std::fwrite(bytes, 1, SizeofResource(module, resource), stdout);
    FreeLibrary(module);
    return bytes != nullptr ? 0 : 1;
}

}  // namespace driver
