// Report files and the machine's name on Windows, through the wide API: paths arrive
// as UTF-8 and are converted, so a file name in any script is opened and renamed as given.
#include "report_output.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

constexpr wchar_t kTemporarySuffix[] = L".lumentrax.tmp";
constexpr int kWidePathSize = 32768;  // the longest path the wide API takes

bool failed(char (&reason)[kConsoleReasonSize], const char* step, DWORD error) {
    char message[kConsoleReasonSize] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   message, sizeof message, nullptr);
    size_t length = std::strlen(message);
    while (length > 0 && std::strchr("\r\n .", message[length - 1]) != nullptr) message[--length] = '\0';
    std::snprintf(reason, sizeof reason, "%s: %s (error %lu)", step, message, static_cast<unsigned long>(error));
    return false;
}

bool writeWhole(HANDLE file, const char* text, size_t length) {
    while (length > 0) {
        const DWORD piece = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file, text, piece, &written, nullptr) || written == 0) return false;
        text += written;
        length -= written;
    }
    return FlushFileBuffers(file) != 0;
}

// How long a run waits for another run that writes the same file (each holds it for one
// write and flush), in tries 10 ms apart.
constexpr int kOpenTries = 1000;

// Creates the file beside the path for this report, shared with nobody until it is in
// place: runs that write the same path take turns on it, so one never moves another's
// half-written file into place or finds its own gone. A file there that no run holds (left
// by a run that was killed, or anything planted under that name) is removed first.
HANDLE createTemporary(const wchar_t* temporary) {
    for (int tries = 0; tries < kOpenTries; ++tries) {
        DeleteFileW(temporary);
        const HANDLE file = CreateFileW(temporary, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        const DWORD error = GetLastError();
        // Access is denied to a file that is being deleted too; where nothing stands at
        // the name, the folder itself refuses.
        const bool nothingThere = GetFileAttributesW(temporary) == INVALID_FILE_ATTRIBUTES &&
                                  GetLastError() == ERROR_FILE_NOT_FOUND;
        SetLastError(error);
        if (error != ERROR_FILE_EXISTS && error != ERROR_SHARING_VIOLATION &&
            (error != ERROR_ACCESS_DENIED || nothingThere)) {
            break;
        }
        Sleep(10);
    }
    return INVALID_HANDLE_VALUE;
}

// Renames the file that `file` holds to the full path `to`, replacing what is there,
// without letting go of it. A reader (windows_exporter) holding the path open for a
// moment makes the rename fail with a sharing error; it is tried again for up to a second.
bool moveIntoPlace(HANDLE file, const wchar_t* to) {
    static unsigned char block[sizeof(FILE_RENAME_INFO) + kWidePathSize * sizeof(wchar_t)];
    FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(block);
    const size_t bytes = std::wcslen(to) * sizeof(wchar_t);
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(rename->FileName, to, bytes + sizeof(wchar_t));
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(sizeof(FILE_RENAME_INFO) + bytes))) {
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return false;
        Sleep(50);
    }
    return false;
}

// The full path of `path` in the system's own form, which a rename by handle takes:
// \??\C:\..., \??\UNC\server\share\... False when it does not fit.
bool systemPathOf(const wchar_t* path, wchar_t (&system)[kWidePathSize]) {
    static wchar_t full[kWidePathSize];
    const DWORD length = GetFullPathNameW(path, kWidePathSize, full, nullptr);
    if (length == 0 || length >= kWidePathSize) return false;
    const wchar_t* rest = full;
    const wchar_t* prefix = L"\\??\\";
    if (std::wcsncmp(full, L"\\\\?\\", 4) == 0 || std::wcsncmp(full, L"\\\\.\\", 4) == 0) {
        rest = full + 4;  // \\?\C:\... is that form already, but for its prefix
    } else if (std::wcsncmp(full, L"\\\\", 2) == 0) {
        rest = full + 2;
        prefix = L"\\??\\UNC\\";
    }
    return std::swprintf(system, kWidePathSize, L"%ls%ls", prefix, rest) > 0;
}

}  // namespace

bool replaceFile(const char* path, const char* text, size_t length, char (&reason)[kConsoleReasonSize]) {
    static wchar_t widePath[kWidePathSize];
    static wchar_t systemPath[kWidePathSize];
    static wchar_t temporary[kWidePathSize + sizeof kTemporarySuffix / sizeof(wchar_t)];
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, widePath, kWidePathSize) == 0) {
        return failed(reason, "the path is not UTF-8 or too long", GetLastError());
    }
    if (!systemPathOf(widePath, systemPath)) return failed(reason, "the path is too long", GetLastError());
    std::swprintf(temporary, sizeof temporary / sizeof temporary[0], L"%ls%ls", widePath, kTemporarySuffix);
    const HANDLE file = createTemporary(temporary);
    if (file == INVALID_HANDLE_VALUE) return failed(reason, "cannot create the file beside it", GetLastError());
    const char* step = "cannot write it";
    bool done = writeWhole(file, text, length);
    if (done) {
        step = "cannot put it in place";
        done = moveIntoPlace(file, systemPath);
    }
    const DWORD error = GetLastError();
    if (!done) {
        FILE_DISPOSITION_INFO remove{TRUE};
        SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove);
    }
    CloseHandle(file);
    return done || failed(reason, step, error);
}

void readMachineName(char (&name)[kHostNameSize]) {
    wchar_t wide[kHostNameSize];
    DWORD size = kHostNameSize;
    name[0] = '\0';
    if (!GetComputerNameExW(ComputerNameDnsHostname, wide, &size)) return;
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, name, sizeof name, nullptr, nullptr) == 0) name[0] = '\0';
}
