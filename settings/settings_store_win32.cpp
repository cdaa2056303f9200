// Sharing and replacing the settings file: the save into a temporary file that replaces
// the real one only once all of it is found on disk, so that a full disk or copies
// saving together never leave a partial file.
#include "settings/settings_store_win32.h"

#include <cstdio>
#include <cwchar>
#include <initializer_list>

namespace {

// An antivirus or an indexer holds a file for moments at a time: a refused copy or
// replacement is tried again for about this long before the save gives up.
constexpr DWORD kRetryMs = 1000;
constexpr DWORD kRetryPauseMs = 50;

// Names tried for a temporary file when the ones before are taken.
constexpr unsigned kNameAttempts = 100;

bool refusedForAMoment(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// Runs `attempt` until it succeeds, fails for good, or the retry time is up; the last
// error stays set.
template <typename Attempt>
bool retried(Attempt attempt) {
    const DWORD start = GetTickCount();
    while (!attempt()) {
        const DWORD error = GetLastError();
        if (!refusedForAMoment(error) || GetTickCount() - start >= kRetryMs) return false;
        Sleep(kRetryPauseMs);
    }
    return true;
}

// `parts` one after the other; false (and `out` empty) when they do not fit.
template <size_t N>
bool joined(wchar_t (&out)[N], std::initializer_list<const wchar_t*> parts) {
    size_t length = 0;
    for (const wchar_t* part : parts) {
        for (; *part != L'\0'; ++part) {
            if (length + 1 >= N) {
                out[0] = L'\0';
                return false;
            }
            out[length++] = *part;
        }
    }
    out[length] = L'\0';
    return true;
}

bool fileExists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// A name that shows no file yet cannot be made anew: under Wine, a symbolic link that
// leads nowhere. Writing through it in place makes its target and keeps the link.
bool nameTaken(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
    CloseHandle(file);
    return false;
}

// The final path of an open file or folder in the plain form ("C:\...", "\\server\...")
// rather than "\\?\C:\..." or "\\?\UNC\server\...". 0 when it is unknown, 1 when it
// does not fit `out`, 2 when it is there.
template <size_t N>
int finalPath(HANDLE file, wchar_t (&out)[N]) {
    wchar_t found[kSettingsPathSize];
    const DWORD length = GetFinalPathNameByHandleW(file, found, kSettingsPathSize, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= kSettingsPathSize) return 0;
    bool fits;
    if (std::wcsncmp(found, L"\\\\?\\UNC\\", 8) == 0) {
        fits = joined(out, {L"\\\\", found + 8});
    } else {
        fits = joined(out, {std::wcsncmp(found, L"\\\\?\\", 4) == 0 ? found + 4 : found});
    }
    return fits ? 2 : 1;
}

// Where the file name of `path` starts.
const wchar_t* fileName(const wchar_t* path) {
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    return slash != nullptr ? slash + 1 : path;
}

// Opens `path` only when it is a plain file that stands in its folder under that name:
// no folder, and no symbolic link, junction or other reparse point (Wine shows a link
// as the file it names, so its final path must be the folder's own, then the name).
// The handle may delete the file; INVALID_HANDLE_VALUE for anything else.
HANDLE openPlainFile(const wchar_t* path) {
    const wchar_t* name = fileName(path);
    wchar_t folder[kSettingsPathSize];
    if (!folderOf(path, folder)) return INVALID_HANDLE_VALUE;
    HANDLE folderHandle = CreateFileW(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folderHandle == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    wchar_t expected[kSettingsPathSize];
    const bool folderKnown = finalPath(folderHandle, expected) == 2;
    CloseHandle(folderHandle);
    const size_t length = std::wcslen(expected);
    if (!folderKnown || !joined(expected, {expected, length > 0 && expected[length - 1] == L'\\' ? L"" : L"\\", name})) {
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileW(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION info;
    wchar_t found[kSettingsPathSize];
    if (GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        finalPath(file, found) == 2 && CompareStringOrdinal(found, -1, expected, -1, TRUE) == CSTR_EQUAL) {
        return file;
    }
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
}

// Removes `path` when it is a plain file (see openPlainFile): the very file checked,
// through its handle, never what a link names.
void removePlainFile(const wchar_t* path) {
    HANDLE file = openPlainFile(path);
    if (file == INVALID_HANDLE_VALUE) return;
    FILE_DISPOSITION_INFO dispose{TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
    CloseHandle(file);
}

// "<target>.lumentrax-<process id>.tmp", or from attempt 1 on
// "<target>.lumentrax-<process id>-<attempt>.tmp": beside the real file, so the
// replacement stays on one volume, and named for this process, so that copies never
// share one. False when it would not fit the profile functions.
bool temporaryName(const wchar_t* target, unsigned attempt, wchar_t (&out)[kProfilePathSize]) {
    wchar_t owner[24];
    std::swprintf(owner, sizeof owner / sizeof owner[0], attempt == 0 ? L"%lu" : L"%lu-%u",
                  static_cast<unsigned long>(GetCurrentProcessId()), attempt);
    wchar_t infix[sizeof kTemporaryInfix];
    for (size_t i = 0; i < sizeof kTemporaryInfix; ++i) infix[i] = static_cast<wchar_t>(kTemporaryInfix[i]);
    return joined(out, {target, infix, owner, L".tmp"});
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

// Calls `found(path, data)` for each temporary file of a save of `target` made by a
// process that is gone: only names of exactly this program's form (the long name: a
// search also matches short names), since a copy saving without the lock may be
// writing its own. At start-up this process's own id counts as gone too.
template <typename Found>
void forEachLeftover(const wchar_t* target, bool ownIsLeft, Found found) {
    wchar_t pattern[kSettingsPathSize], infix[sizeof kTemporaryInfix];
    for (size_t i = 0; i < sizeof kTemporaryInfix; ++i) infix[i] = static_cast<wchar_t>(kTemporaryInfix[i]);
    if (!joined(pattern, {target, infix, L"*.tmp"})) return;
    const wchar_t* name = fileName(target);
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        uint32_t owner = 0;
        if (!settingsTemporaryOwner(name, data.cFileName, owner)) continue;
        if (owner == GetCurrentProcessId() ? !ownIsLeft : !processGone(owner)) continue;
        wchar_t path[kSettingsPathSize];
        std::wmemcpy(path, target, static_cast<size_t>(name - target));
        path[name - target] = L'\0';
        if (joined(path, {path, data.cFileName})) found(path, data);
    } while (FindNextFileW(search, &data));
    FindClose(search);
}

// The zero-separated section names of a file, in a block as large as the file: names
// can take up all of it.
struct SectionNames {
    explicit SectionNames(const wchar_t* path) : names(nullptr), length(0) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) || data.nFileSizeHigh != 0) return;
        const DWORD size = data.nFileSizeLow + 2;
        names = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, size * sizeof(wchar_t)));
        if (names != nullptr) length = GetPrivateProfileSectionNamesW(names, size, path);
    }
    ~SectionNames() {
        if (names != nullptr) HeapFree(GetProcessHeap(), 0, names);
    }
    SectionNames(const SectionNames&) = delete;
    SectionNames& operator=(const SectionNames&) = delete;

    // The name after `name` in the block; null after the last one.
    const wchar_t* next(const wchar_t* name) const {
        const wchar_t* after = name == nullptr ? names : name + std::wcslen(name) + 1;
        return after != nullptr && after < names + length && *after != L'\0' ? after : nullptr;
    }
    // Whether `name` is in the block, looked for from `from` on first (a copy keeps the
    // sections in their order, so the next one is found at once), then from the start.
    // `from` then points at the name found. Linear in the common case, even for files
    // of many thousands of sections.
    bool lists(const wchar_t* name, const wchar_t*& from) const {
        for (int pass = 0; pass < 2; ++pass) {
            for (const wchar_t* n = pass == 0 ? from : next(nullptr); n != nullptr; n = next(n)) {
                if (std::wcscmp(n, name) == 0) {
                    from = n;
                    return true;
                }
            }
        }
        return false;
    }
    wchar_t* names;
    DWORD length;
};

// The real file's bytes into the new temporary file, whole (a retry starts over).
bool copied(const wchar_t* from, HANDLE to) {
    HANDLE source = CreateFileW(from, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (source == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER start{};
    bool ok = SetFilePointerEx(to, start, nullptr, FILE_BEGIN) && SetEndOfFile(to);
    char chunk[16384];
    DWORD got = 0;
    while (ok && (ok = ReadFile(source, chunk, sizeof chunk, &got, nullptr) != 0) && got > 0) {
        DWORD put = 0;
        ok = WriteFile(to, chunk, got, &put, nullptr) && put == got;
    }
    const DWORD error = GetLastError();
    CloseHandle(source);
    SetLastError(error);
    return ok;
}

// The temporary file's data on the disk before it takes the real file's place: a
// rename alone can reach the disk before the data, and a power cut would then leave an
// empty file.
bool flushedToDisk(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool flushed = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    return flushed;
}

// ReplaceFileW keeps the real file's security descriptor and attributes. The real file
// goes to a backup name of this process's first (removed afterwards): where the folder
// refuses that, the replacement fails before it has made anything (without a backup
// name, Wine leaves an empty file behind at each refused try). A real file that is not
// there is moved onto.
bool replaced(const SettingsSave& save, wchar_t (&backup)[kProfilePathSize]) {
    backup[0] = L'\0';
    if (!fileExists(save.target)) {
        return MoveFileExW(save.path, save.target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    for (unsigned attempt = 1; attempt <= kNameAttempts; ++attempt) {
        if (!temporaryName(save.target, attempt, backup)) break;
        // A link that leads nowhere shows no file, yet the replaced file would take
        // its place: such a name is taken too.
        if (!fileExists(backup) && GetLastError() == ERROR_FILE_NOT_FOUND && !nameTaken(backup)) {
            return ReplaceFileW(save.target, save.path, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
        }
    }
    backup[0] = L'\0';
    return ReplaceFileW(save.target, save.path, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
}

}  // namespace

bool folderOf(const wchar_t* path, wchar_t (&folder)[kSettingsPathSize]) {
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    if (slash == nullptr) return false;
    const size_t length = static_cast<size_t>(slash - path) + (slash - path == 2 ? 1 : 0);
    if (length >= kSettingsPathSize) return false;
    std::wmemcpy(folder, path, length);
    folder[length] = L'\0';
    return true;
}

// A symbolic link's target is what a save replaces, so that the link stays a link and
// its target gets the settings.
bool settingsFinalPath(const wchar_t* settingsPath, wchar_t (&out)[kProfilePathSize]) {
    joined(out, {settingsPath});
    HANDLE file = CreateFileW(settingsPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    wchar_t found[kProfilePathSize];
    const int known = finalPath(file, found);
    CloseHandle(file);
    if (known == 2) joined(out, {found});
    return known != 1;
}

SaveTarget openSettingsSave(const wchar_t* settingsPath, const SettingsLock& lock, SettingsSave& save) {
    const bool fits = settingsFinalPath(settingsPath, save.target);
    const DWORD attributes = GetFileAttributesW(save.target);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return SaveTarget::nothing;
    // A target the profile functions cannot take, or a link to no file yet, is written
    // through the link, in place.
    if (!fits || (!exists && nameTaken(settingsPath))) return SaveTarget::realFile;
    if (lock.held && exists) forEachLeftover(save.target, false, [](const wchar_t* path, const WIN32_FIND_DATAW&) {
        removePlainFile(path);
    });
    // A file that is there is replaced by way of a backup name, longer than the first
    // temporary name: without room for every one of those it is written in place
    // (without a backup name, Wine leaves an empty file behind at each refused try).
    if (exists && !temporaryName(save.target, kNameAttempts, save.path)) return SaveTarget::realFile;
    // Always a new file: whatever stands at a name (a file, or a link planted to have
    // the save write through it) is left alone and the next name is tried. A settings
    // path near the longest the profile functions take leaves no room for a temporary
    // name: such a file is written in place, as every file once was.
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < kNameAttempts && error == ERROR_FILE_EXISTS; ++attempt) {
        if (!temporaryName(save.target, attempt, save.path)) return SaveTarget::realFile;
        file = CreateFileW(save.path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        if (error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
    }
    if (error == ERROR_FILE_EXISTS) return SaveTarget::realFile;
    if (file == INVALID_HANDLE_VALUE) {
        // A read-only folder may hold a writable file: that one is still saved, as
        // before. Any other refusal (a full disk among them) leaves the file alone.
        return error == ERROR_ACCESS_DENIED && exists ? SaveTarget::realFile : SaveTarget::nothing;
    }
    const bool whole = !exists || retried([&] { return copied(save.target, file); });
    CloseHandle(file);
    if (!whole) {
        removePlainFile(save.path);
        return SaveTarget::nothing;
    }
    return SaveTarget::temporaryFile;
}

// Wine's profile functions keep the file in memory, and a write to disk that fails (a
// full disk cuts the file short) does not fail the call. The memory copy is flushed
// first (all three names null), so that the reads that follow see what reached the disk.
bool settingsSectionsKept(const SettingsSave& save) {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, save.path);
    const SectionNames before(save.target);
    const SectionNames after(save.path);
    const wchar_t* found = after.next(nullptr);
    for (const wchar_t* name = before.next(nullptr); name != nullptr; name = before.next(name)) {
        if (!after.lists(name, found)) return false;
    }
    return true;
}

// The temporary file is removed only while the real file exists: a replacement that
// failed after the real file was taken away (Windows reports that as
// ERROR_UNABLE_TO_MOVE_REPLACEMENT, or _2 with the real file at the backup name)
// leaves it as the newest copy of the settings, which the next start takes.
SaveEnd commitSettingsSave(const SettingsSave& save, bool whole) {
    wchar_t backup[kProfilePathSize];
    if (whole && flushedToDisk(save.path)) {
        if (retried([&] { return replaced(save, backup); })) {
            if (backup[0] != L'\0') removePlainFile(backup);
            return SaveEnd::replaced;
        }
        const DWORD error = GetLastError();
        if ((error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED) && fileExists(save.target)) {
            removePlainFile(save.path);
            return SaveEnd::writeInPlace;
        }
    }
    if (!whole || fileExists(save.target)) removePlainFile(save.path);
    return SaveEnd::discarded;
}

void recoverSettingsFile(const wchar_t* settingsPath, const SettingsLock& lock, bool (*complete)(const wchar_t* file)) {
    wchar_t target[kProfilePathSize];
    if (!lock.held || !settingsFinalPath(settingsPath, target) || fileExists(target)) return;
    wchar_t newest[kProfilePathSize] = L"";
    FILETIME newestTime{};
    forEachLeftover(target, true, [&](const wchar_t* path, const WIN32_FIND_DATAW& data) {
        // A save's file is never read-only: such a file is someone else's, and as the
        // settings file it would keep every later save out.
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) return;
        HANDLE file = openPlainFile(path);
        if (file == INVALID_HANDLE_VALUE) return;
        CloseHandle(file);
        if ((newest[0] == L'\0' || CompareFileTime(&data.ftLastWriteTime, &newestTime) > 0) && complete(path)) {
            joined(newest, {path});
            newestTime = data.ftLastWriteTime;
        }
    });
    // Never over a file that appeared meanwhile, nor onto a link that leads nowhere.
    if (newest[0] != L'\0' && !nameTaken(settingsPath)) MoveFileExW(newest, target, MOVEFILE_WRITE_THROUGH);
}
