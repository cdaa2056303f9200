// How the settings file is shared and replaced: copies of the program that share one
// file take turns through a named lock, and a save goes into a file of this process's
// own beside the real one, which then takes the real file's place in one step. Paths
// are wide throughout: a folder name outside the ANSI code page must still name its
// own file, never a best-fit look-alike.
#pragma once

#include <windows.h>

#include "settings/settings_path.h"

// Held while loading and while saving. The wait is bounded (a hung copy must not cost
// the others their settings): after it, or when the lock cannot be made, the caller
// goes on without it. A lock abandoned by a copy that died counts as taken.
// (settings_lock_win32.cpp)
struct SettingsLock {
    explicit SettingsLock(const wchar_t* settingsPath);
    ~SettingsLock();
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

    HANDLE mutex;
    bool held;
};

// The folder that holds `path`: a drive's root keeps its backslash ("C:\"); any other
// folder is named without it. False where the path names no folder or it does not fit.
bool folderOf(const wchar_t* path, wchar_t (&folder)[kSettingsPathSize]);

// The file the settings path leads to (a symbolic link's target), or the path itself
// where that is unknown. False where the target's path is too long for the profile
// functions (`out` is then the path itself).
bool settingsFinalPath(const wchar_t* settingsPath, wchar_t (&out)[kProfilePathSize]);

// Where a save writes, as openSettingsSave decided it.
enum class SaveTarget {
    temporaryFile,  // `path` of the SettingsSave: commitSettingsSave afterwards
    realFile,       // the folder refuses new files, or the temporary and backup names
                    // do not fit: per-key writes into the file itself
    nothing,        // a read-only file, a full disk or another failure: leave it as it is
};

struct SettingsSave {
    wchar_t target[kProfilePathSize];  // the file replaced: a symbolic link's target
    wchar_t path[kProfilePathSize];    // the temporary file
};

// Removes what earlier saves of copies that died left (only with the lock held), then
// makes this process's temporary file beside the file the settings path leads to,
// always a new file (never through a link or over a file that stands in the way: a
// name that is taken gives way to the next), as a copy of the real one, so that
// entries the program does not know survive.
SaveTarget openSettingsSave(const wchar_t* settingsPath, const SettingsLock& lock, SettingsSave& save);

// After the per-key writes into the temporary file: makes the profile functions read it
// from the disk again (Wine keeps it in memory, and a failed write to disk, as on a full
// disk, does not fail its call), and tells whether every section of the real file is in
// it. The caller then reads back what it wrote.
bool settingsSectionsKept(const SettingsSave& save);

// How a save ended.
enum class SaveEnd {
    replaced,      // the temporary file is the settings file now
    writeInPlace,  // the folder does not let this user replace the file (a shared folder,
                   // another owner), though the file may be written: the caller writes
                   // it in place, still under the lock; the temporary file is gone
    discarded,     // the settings file is as it was
};

// When `whole` (everything written, and found on disk), the temporary file's data is
// flushed to the disk and it replaces the real one in one step. Otherwise, or when the
// replacement is still refused after a second, the temporary file is removed and the
// real file stays as it was.
SaveEnd commitSettingsSave(const SettingsSave& save, bool whole);

// At start-up and before a save, with the lock held: where the settings file is missing
// because a copy died while replacing it, the newest temporary file of a copy that is
// gone that `complete` accepts (and that is not read-only) takes its place. Nothing else
// is touched.
void recoverSettingsFile(const wchar_t* settingsPath, const SettingsLock& lock, bool (*complete)(const wchar_t* file));
