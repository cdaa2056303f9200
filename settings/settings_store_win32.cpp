// Sharing and replacing the settings file: the save into a temporary file that replaces
// the real one only once all of it is found on disk, so that a full disk or copies
// saving together never leave a partial file.
#include "settings/settings_store_win32.h"

#include <cstdio>
#include <cstring>

namespace {

// An antivirus or an indexer holds a file for moments at a time: a refused copy or
// replacement is tried again for about this long before the save gives up.
constexpr DWORD kRetryMs = 1000;
constexpr DWORD kRetryPauseMs = 50;

bool refusedForAMoment(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// Runs `attempt` until it succeeds, fails for good, or the retry time is up.
template <typename Attempt>
bool retried(Attempt attempt) {
    const DWORD start = GetTickCount();
    while (!attempt()) {
        if (!refusedForAMoment(GetLastError()) || GetTickCount() - start >= kRetryMs) return false;
        Sleep(kRetryPauseMs);
    }
    return true;
}

bool fileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// A name that shows no file yet cannot be made anew: under Wine, a symbolic link that
// leads nowhere. Writing through it in place makes its target and keeps the link.
bool nameTaken(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
    CloseHandle(file);
    return false;
}

}  // namespace

// A symbolic link's target is what a save replaces, so that the link stays a link and
// its target gets the settings.
bool settingsFinalPath(const char* settingsPath, char (&out)[kSettingsPathSize]) {
    std::snprintf(out, sizeof out, "%s", settingsPath);
    HANDLE file = CreateFileA(settingsPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    wchar_t wide[kSettingsPathSize];
    const DWORD length = GetFinalPathNameByHandleW(file, wide, kSettingsPathSize, FILE_NAME_NORMALIZED);
    CloseHandle(file);
    if (length == 0 || length >= kSettingsPathSize) return true;
    // Where the ANSI code page is UTF-8 every name can be spelt (and no default is used).
    const bool utf8 = GetACP() == CP_UTF8;
    char found[kSettingsPathSize];
    BOOL lossy = FALSE;
    if (WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, found, sizeof found, nullptr,
                            utf8 ? nullptr : &lossy) == 0 || lossy) {
        return false;
    }
    // "\\?\C:\..." or "\\?\UNC\server\share\...": the A functions take neither prefix.
    if (std::strncmp(found, "\\\\?\\UNC\\", 8) == 0) {
        std::snprintf(out, sizeof out, "\\\\%s", found + 8);
    } else if (std::strncmp(found, "\\\\?\\", 4) == 0) {
        std::snprintf(out, sizeof out, "%s", found + 4);
    }
    return true;
}

namespace {

// "<settings file>.lumentrax-<process id>.tmp": beside the real file, so the
// replacement stays on one volume, and named for this process, so that copies never
// share one. False when it would not fit the A functions' MAX_PATH.
bool temporaryName(const char* target, const char* processPart, char (&out)[MAX_PATH]) {
    const int length = std::snprintf(out, sizeof out, "%s%s%s.tmp", target, kTemporaryInfix, processPart);
    return length > 0 && static_cast<size_t>(length) < sizeof out;
}

// A process of that id no longer exists (an id in use, even by some other program,
// keeps its file: removed by a later save).
bool processGone(uint32_t processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process != nullptr) {
        CloseHandle(process);
        return false;
    }
    return GetLastError() == ERROR_INVALID_PARAMETER;
}

// What saves of copies that died left behind: only names of exactly this program's form
// (the long name: a search also matches short names), and only when the process that
// made the file is gone, since a copy saving without the lock may be writing its own.
void removeLeftovers(const char* target) {
    char pattern[MAX_PATH];
    if (!temporaryName(target, "*", pattern)) return;
    const char* slash = std::strrchr(target, '\\');
    const char* name = slash != nullptr ? slash + 1 : target;
    const int folderLength = static_cast<int>(name - target);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        uint32_t owner = 0;
        if (!settingsTemporaryOwner(name, found.cFileName, owner) || owner == GetCurrentProcessId()) continue;
        char leftover[MAX_PATH];
        const int length = std::snprintf(leftover, sizeof leftover, "%.*s%s", folderLength, target, found.cFileName);
        if (length > 0 && static_cast<size_t>(length) < sizeof leftover && processGone(owner)) DeleteFileA(leftover);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// The zero-separated section names of a file, in a block as large as the file: names
// can take up all of it.
struct SectionNames {
    explicit SectionNames(const char* path) : names(nullptr), length(0) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) || data.nFileSizeHigh != 0) return;
        const DWORD size = data.nFileSizeLow + 2;
        names = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
        if (names != nullptr) length = GetPrivateProfileSectionNamesA(names, size, path);
    }
    ~SectionNames() {
        if (names != nullptr) HeapFree(GetProcessHeap(), 0, names);
    }
    SectionNames(const SectionNames&) = delete;
    SectionNames& operator=(const SectionNames&) = delete;

    // The name after `name` in the block; null after the last one.
    const char* next(const char* name) const {
        const char* after = name == nullptr ? names : name + std::strlen(name) + 1;
        return after != nullptr && after < names + length && *after != '\0' ? after : nullptr;
    }
    // Whether `name` is in the block, looked for from `from` on first (a copy keeps the
    // sections in their order, so the next one is found at once), then from the start.
    // `from` then points at the name found. Linear in the common case, even for files
    // of many thousands of sections.
    bool lists(const char* name, const char*& from) const {
        for (int pass = 0; pass < 2; ++pass) {
            for (const char* n = pass == 0 ? from : next(nullptr); n != nullptr; n = next(n)) {
                if (std::strcmp(n, name) == 0) {
                    from = n;
                    return true;
                }
            }
        }
        return false;
    }
    char* names;
    DWORD length;
};

// The temporary file's data on the disk before it takes the real file's place: a
// rename alone can reach the disk before the data, and a power cut would then leave an
// empty file.
bool flushedToDisk(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool flushed = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    return flushed;
}

// ReplaceFileA keeps the real file's security descriptor and attributes; a real file
// that is not there (or that a refused replacement already removed) is moved onto.
bool replaced(const SettingsSave& save) {
    if (fileExists(save.target)) {
        return ReplaceFileA(save.target, save.path, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    }
    return MoveFileExA(save.path, save.target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

SaveTarget openSettingsSave(const char* settingsPath, const SettingsLock& lock, SettingsSave& save) {
    const bool spelt = settingsFinalPath(settingsPath, save.target);
    const DWORD attributes = GetFileAttributesA(save.target);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return SaveTarget::nothing;
    // A target the A functions cannot name, or a link to no file yet, is written
    // through the link, in place.
    if (!spelt || (!exists && nameTaken(settingsPath))) return SaveTarget::realFile;
    char processPart[16];
    std::snprintf(processPart, sizeof processPart, "%lu", static_cast<unsigned long>(GetCurrentProcessId()));
    // A settings path near the longest the profile functions take leaves no room for
    // the temporary name: such a file is written in place, as every file once was.
    if (!temporaryName(save.target, processPart, save.path)) return SaveTarget::realFile;
    if (lock.held && exists) removeLeftovers(save.target);
    HANDLE file = CreateFileA(save.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // A read-only folder may hold a writable file: that one is still saved, as
        // before. Any other refusal (a full disk among them) leaves the file alone.
        return GetLastError() == ERROR_ACCESS_DENIED && exists ? SaveTarget::realFile : SaveTarget::nothing;
    }
    CloseHandle(file);
    if (exists && !retried([&] { return CopyFileA(save.target, save.path, FALSE) != 0; })) {
        DeleteFileA(save.path);
        return SaveTarget::nothing;
    }
    return SaveTarget::temporaryFile;
}

// Wine's profile functions keep the file in memory, and a write to disk that fails (a
// full disk cuts the file short) does not fail the call. The memory copy is flushed
// first (all three names null), so that the reads that follow see what reached the disk.
bool settingsSectionsKept(const SettingsSave& save) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, save.path);
    const SectionNames before(save.target);
    const SectionNames after(save.path);
    const char* found = after.next(nullptr);
    for (const char* name = before.next(nullptr); name != nullptr; name = before.next(name)) {
        if (!after.lists(name, found)) return false;
    }
    return true;
}

// A replacement that failed after the real file was taken away (Windows reports that as
// ERROR_UNABLE_TO_MOVE_REPLACEMENT) leaves the temporary file as the only copy of the
// settings: it is kept, and a later save does not remove it while no real file exists.
void commitSettingsSave(const SettingsSave& save, bool whole) {
    if (whole && flushedToDisk(save.path) && retried([&] { return replaced(save); })) return;
    if (!whole || fileExists(save.target)) DeleteFileA(save.path);
}
