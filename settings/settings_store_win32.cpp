// Sharing and replacing the settings file: the named lock that copies of the program
// take turns with, and the save into a temporary file that replaces the real one only
// once everything reached the disk, so that a full disk or a copy ending mid-save never
// leaves a partial file.
#include "settings/settings_store.h"

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

// A digest of every section as the profile functions show the file: its names and
// each section's entries. A file larger than the buffers is compared by what fits.
uint64_t profileDigest(const char* path) {
    static char names[4096];
    static char entries[32768];
    const DWORD namesLength = GetPrivateProfileSectionNamesA(names, sizeof names, path);
    uint64_t hash = hashBytes(kHashStart, names, namesLength, false);
    for (const char* section = names; *section != '\0' && section < names + namesLength;
         section += std::strlen(section) + 1) {
        const DWORD length = GetPrivateProfileSectionA(section, entries, sizeof entries, path);
        hash = hashBytes(hash, entries, length + 1, false);
    }
    return hash;
}

// Wine's profile functions keep the file in memory and do not report a write to disk
// that failed (a full disk cuts the file short, and the call still succeeds). Letting go
// of the memory copy (all three names null) makes the next read come from the disk;
// the same content means that all of it got there. Windows reads the disk both times.
bool reachedDisk(const char* path) {
    const uint64_t written = profileDigest(path);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
    return profileDigest(path) == written;
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

void commitSettingsSave(const char* settingsPath, const SettingsSave& save, bool written) {
    if (written && reachedDisk(save.path) &&
        MoveFileExA(save.path, settingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return;
    }
    DeleteFileA(save.path);
}
