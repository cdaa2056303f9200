// How the settings file is shared and replaced: copies of the program that share one
// file take turns through a named lock, and a save goes into a file of this process's
// own beside the real one, which then takes the real file's place in one step.
#pragma once

#include <windows.h>

#include "settings/settings_path.h"

// Held while loading and while saving. The wait is bounded (a hung copy must not cost
// the others their settings): after it, or when the lock cannot be made, the caller
// goes on without it. A lock abandoned by a copy that died counts as taken.
struct SettingsLock {
    explicit SettingsLock(const char* settingsPath);
    ~SettingsLock();
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

    HANDLE mutex;
    bool held;
};

// Where a save writes, as openSettingsSave decided it.
enum class SaveTarget {
    temporaryFile,  // `path` of the SettingsSave: commitSettingsSave afterwards
    realFile,       // the folder refuses new files: per-key writes into the file itself
    nothing,        // a read-only file, a full disk or another failure: leave it as it is
};

constexpr size_t kTemporaryPathSize = kSettingsPathSize + 32;

struct SettingsSave {
    char path[kTemporaryPathSize];
};

// Removes what earlier saves of crashed copies left (only with the lock held: without
// it another copy may be saving into its own file right now), then makes this process's temporary
// file as a copy of the real one, so that entries the program does not know survive.
SaveTarget openSettingsSave(const char* settingsPath, const SettingsLock& lock, SettingsSave& save);

// After the per-key writes into the temporary file: makes the profile functions read it
// from the disk again (Wine keeps it in memory, and a failed write to disk, as on a full
// disk, does not fail its call), and tells whether every section of the real file is in
// it. The caller then reads back what it wrote.
bool settingsSectionsKept(const char* settingsPath, const SettingsSave& save);

// When `whole` (everything written, and found on disk), the temporary file replaces the
// real one in one step. Otherwise the temporary file is removed and the real file stays
// as it was.
void commitSettingsSave(const char* settingsPath, const SettingsSave& save, bool whole);
