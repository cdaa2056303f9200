// The lock that copies of the program sharing one settings file take turns with: one
// machine-wide mutex per file, whatever path names it and whichever user runs the copy.
#include "settings/settings_store_win32.h"

#include <cstdio>
#include <cwchar>

namespace {

// Long enough for a copy writing a file of a few kilobytes, short enough that a log-off
// save still ends while the session waits for it.
constexpr DWORD kLockWaitMs = 2000;

// Wait and release are all a copy needs; asking for no more lets a copy of another user
// open the mutex that the first copy made.
constexpr DWORD kLockAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// Names the file after its folder's volume and file index plus its case-folded name:
// false where the folder cannot be opened (the caller then names it after its path).
bool identityLockName(const wchar_t* settingsPath, char (&out)[kSettingsLockNameSize]) {
    wchar_t folder[kSettingsPathSize];
    if (!folderOf(settingsPath, folder)) return false;
    const wchar_t* slash = std::wcsrchr(settingsPath, L'\\');
    HANDLE handle = CreateFileW(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    wchar_t name[kProfilePathSize];
    const size_t nameLength = std::wcslen(slash + 1);
    if (!known || nameLength == 0 || nameLength >= kProfilePathSize) return false;
    std::wmemcpy(name, slash + 1, nameLength);
    CharUpperBuffW(name, static_cast<DWORD>(nameLength));
    uint16_t units[kProfilePathSize];
    for (size_t i = 0; i < nameLength; ++i) units[i] = static_cast<uint16_t>(name[i]);
    const uint64_t index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    settingsLockNameOfFile(info.dwVolumeSerialNumber, index, units, nameLength, out);
    return true;
}

// Everyone may wait on and release the lock, and nothing more: copies of every user
// that share the file meet in it.
struct EveryoneMayWait {
    EveryoneMayWait() {
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = reinterpret_cast<PSID>(sid);
        ready = InitializeSid(everyone, &world, 1) != 0;
        if (ready) *GetSidSubAuthority(everyone, 0) = SECURITY_WORLD_RID;
        ready = ready && InitializeAcl(reinterpret_cast<PACL>(acl), sizeof acl, ACL_REVISION) &&
                AddAccessAllowedAce(reinterpret_cast<PACL>(acl), ACL_REVISION, kLockAccess, everyone) &&
                InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl), FALSE);
        attributes = {sizeof attributes, ready ? &descriptor : nullptr, FALSE};
    }
    alignas(DWORD) unsigned char sid[SECURITY_MAX_SID_SIZE];
    alignas(DWORD) unsigned char acl[128];
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    bool ready;
};

}  // namespace

// In the global namespace, so that copies in other logon sessions (another user, a
// terminal server) meet too. Should that name be refused (an object of that name made
// with other rights), the session's own namespace still lets this session's copies
// meet.
SettingsLock::SettingsLock(const wchar_t* settingsPath) : mutex(nullptr), held(false) {
    char name[kSettingsLockNameSize];
    // Named after the file the path leads to: a link and the file it names are one file.
    wchar_t file[kProfilePathSize];
    settingsFinalPath(settingsPath, file);
    if (!identityLockName(file, name)) settingsLockName(settingsPath, name);
    char global[kSettingsLockNameSize + 8];
    std::snprintf(global, sizeof global, "Global\\%s", name);
    EveryoneMayWait everyone;
    mutex = CreateMutexExA(&everyone.attributes, global, 0, kLockAccess);
    if (mutex == nullptr) mutex = CreateMutexExA(nullptr, name, 0, kLockAccess);
    if (mutex == nullptr) return;
    const DWORD waited = WaitForSingleObject(mutex, kLockWaitMs);
    held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

SettingsLock::~SettingsLock() {
    if (held) ReleaseMutex(mutex);
    if (mutex != nullptr) CloseHandle(mutex);
}
