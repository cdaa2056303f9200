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

// A reader (windows_exporter) holding the file open for a moment makes the rename fail
// with a sharing error; it is tried again for up to a second.
bool moveIntoPlace(const wchar_t* from, const wchar_t* to) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        const DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return false;
        Sleep(50);
    }
    return false;
}

}  // namespace

bool replaceFile(const char* path, const char* text, size_t length, char (&reason)[kConsoleReasonSize]) {
    static wchar_t widePath[kWidePathSize];
    static wchar_t temporary[kWidePathSize + sizeof kTemporarySuffix / sizeof(wchar_t)];
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, widePath, kWidePathSize) == 0) {
        return failed(reason, "the path is not UTF-8 or too long", GetLastError());
    }
    std::swprintf(temporary, sizeof temporary / sizeof temporary[0], L"%ls%ls", widePath, kTemporarySuffix);
    DeleteFileW(temporary);
    const HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return failed(reason, "cannot create the file beside it", GetLastError());
    const bool written = writeWhole(file, text, length);
    const DWORD writeError = GetLastError();
    CloseHandle(file);
    if (!written) {
        DeleteFileW(temporary);
        return failed(reason, "cannot write it", writeError);
    }
    if (!moveIntoPlace(temporary, widePath)) {
        const DWORD moveError = GetLastError();
        DeleteFileW(temporary);
        return failed(reason, "cannot put it in place", moveError);
    }
    return true;
}

void readMachineName(char (&name)[kHostNameSize]) {
    wchar_t wide[kHostNameSize];
    DWORD size = kHostNameSize;
    name[0] = '\0';
    if (!GetComputerNameExW(ComputerNameDnsHostname, wide, &size)) return;
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, name, sizeof name, nullptr, nullptr) == 0) name[0] = '\0';
}
