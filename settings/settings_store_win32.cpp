// Sharing and replacing the settings file: the named lock that copies of the program
// take turns with, and the save into a temporary file that replaces the real one only
// once all of it is found on disk, so that a full disk or copies saving together never
// leave a partial file.
#include "settings/settings_store_win32.h"

#include <cstdio>
#include <cstring>

namespace {

// Long enough for a copy writing a file of a few kilobytes, short enough that a log-off
// save still ends while the session waits for it.
constexpr DWORD kLockWaitMs = 2000;

// "<settings file>.<process id>.tmp": beside the real file, so the replacement stays on
// one volume, and named for this process, so that copies never share one.
bool temporaryName(const char* settingsPath, const char* processPart, char (&out)[kTemporaryPathSize]) {
    const int length = std::snprintf(out, sizeof out, "%s.%s.tmp", settingsPath, processPart);
    return length > 0 && static_cast<size_t>(length) < sizeof out;
}

// What crashed saves left behind. Never read as settings (only the real file is), and
// gone with the next save.
void removeLeftovers(const char* settingsPath) {
    char pattern[kTemporaryPathSize];
    if (!temporaryName(settingsPath, "*", pattern)) return;
    const char* name = std::strrchr(settingsPath, '\\');
    const int folderLength = name != nullptr ? static_cast<int>(name + 1 - settingsPath) : 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        char leftover[kTemporaryPathSize];
        const int length = std::snprintf(leftover, sizeof leftover, "%.*s%s", folderLength, settingsPath,
                                         found.cFileName);
        if (length > 0 && static_cast<size_t>(length) < sizeof leftover) DeleteFileA(leftover);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// True when `name` is one of the zero-separated names in `names`.
bool listed(const char* names, DWORD length, const char* name) {
    for (const char* n = names; n < names + length && *n != '\0'; n += std::strlen(n) + 1) {
        if (std::strcmp(n, name) == 0) return true;
    }
    return false;
}

}  // namespace

SettingsLock::SettingsLock(const char* settingsPath) : mutex(nullptr), held(false) {
    char name[kSettingsLockNameSize];
    settingsLockName(settingsPath, name);
    mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr) return;
    const DWORD waited = WaitForSingleObject(mutex, kLockWaitMs);
    held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

SettingsLock::~SettingsLock() {
    if (held) ReleaseMutex(mutex);
    if (mutex != nullptr) CloseHandle(mutex);
}

SaveTarget openSettingsSave(const char* settingsPath, const SettingsLock& lock, SettingsSave& save) {
    const DWORD attributes = GetFileAttributesA(settingsPath);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return SaveTarget::nothing;
    if (lock.held) removeLeftovers(settingsPath);
    char processPart[16];
    std::snprintf(processPart, sizeof processPart, "%lu", static_cast<unsigned long>(GetCurrentProcessId()));
    if (!temporaryName(settingsPath, processPart, save.path)) return SaveTarget::nothing;
    HANDLE file = CreateFileA(save.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // A read-only folder may hold a writable file: that one is still saved, as
        // before. Any other refusal (a full disk among them) leaves the file alone.
        return GetLastError() == ERROR_ACCESS_DENIED && exists ? SaveTarget::realFile : SaveTarget::nothing;
    }
    CloseHandle(file);
    if (exists && !CopyFileA(settingsPath, save.path, FALSE)) {
        DeleteFileA(save.path);
        return SaveTarget::nothing;
    }
    return SaveTarget::temporaryFile;
}

// Wine's profile functions keep the file in memory, and a write to disk that fails (a
// full disk cuts the file short) does not fail the call. The memory copy is flushed
// first (all three names null), so that the reads that follow see what reached the disk.
bool settingsSectionsKept(const char* settingsPath, const SettingsSave& save) {
    static char before[4096];
    static char after[4096];
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, save.path);
    const DWORD beforeLength = GetPrivateProfileSectionNamesA(before, sizeof before, settingsPath);
    const DWORD afterLength = GetPrivateProfileSectionNamesA(after, sizeof after, save.path);
    for (const char* name = before; name < before + beforeLength && *name != '\0'; name += std::strlen(name) + 1) {
        if (!listed(after, afterLength, name)) return false;
    }
    return true;
}

void commitSettingsSave(const char* settingsPath, const SettingsSave& save, bool whole) {
    if (whole && MoveFileExA(save.path, settingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return;
    DeleteFileA(save.path);
}
