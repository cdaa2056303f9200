// Loading a DLL of the system's own from the system folder only, never from the
// program's folder or the current directory, where a planted file of the same name
// would run with the user's rights; binding its entry points by name; and narrowing the
// whole process's DLL search to that folder. Win32 only.
#pragma once

#include <windows.h>

#include <cstring>

// Where the system offers it (Windows 8, and 7 with its update), the loader is told to
// look in the system folder alone. Elsewhere that flag is refused as an invalid
// parameter; the library is then loaded by its full path in the system folder, and
// LOAD_WITH_ALTERED_SEARCH_PATH makes the loader look for the DLLs it depends on in that
// folder too, before the program's folder. Wine 8 has the flag, so under Wine that
// second way never runs. Null when the library is not there.
inline HMODULE loadSystemLibrary(const char* name) {
    HMODULE library = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return library;
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    const size_t nameLength = std::strlen(name);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH) return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, name, nameLength + 1);
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The entry point `name` of `library` as a pointer of type Function; null when the
// library or the entry point is missing.
template <typename Function>
Function entryPointOf(HMODULE library, const char* name) {
    if (library == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// From here on the loader takes DLLs that are loaded at run time (by the program or by
// the system's own libraries on its behalf) from the system folder only, never from
// the program's folder, where a download folder may hold a planted file of that name.
// Both programs call it first thing. Looked up at run time: a system without the call
// still runs the program, and loadSystemLibrary then takes the full path.
inline void restrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto restrict = entryPointOf<SetDefaultDllDirectoriesFn>(GetModuleHandleA("kernel32.dll"),
                                                             "SetDefaultDllDirectories");
    if (restrict != nullptr) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
