// Loading a DLL of the system's own from the system folder only, never from the
// program's folder or the current directory, where a planted file of the same name
// would run with the user's rights; and binding its entry points by name. Win32 only.
#pragma once

#include <windows.h>

#include <cstring>

// Where the system offers it (Windows 8, and 7 with its update), the loader is told to
// look in the system folder alone; elsewhere that flag is refused as an invalid
// parameter, and the full path in the system folder is used instead. Null when the
// library is not there.
inline HMODULE loadSystemLibrary(const char* name) {
    HMODULE library = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return library;
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    const size_t nameLength = std::strlen(name);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH) return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, name, nameLength + 1);
    return LoadLibraryA(path);
}

// The entry point `name` of `library` as a pointer of type Function; null when the
// library or the entry point is missing.
template <typename Function>
Function entryPointOf(HMODULE library, const char* name) {
    if (library == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}
