// Loads the probe options, window placement, column widths and address history from
// the settings file beside the executable at start-up, and writes them back once when
// the main window is destroyed (and at a log-off), each key by its own profile call.
#include "settings/settings_file.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "app/trace_app_win32.h"
#include "engine/probe_options.h"
#include "settings/profile_value.h"
#include "settings/settings_path.h"
#include "settings/settings_store_win32.h"
#include "text/bounded_text.h"
#include "ui/display_scale.h"
#include "ui/display_scale_win32.h"

namespace {

constexpr char kOptionsSection[] = "Options";
constexpr char kWindowSection[] = "Window";
constexpr char kColumnSection[] = "Column";
constexpr char kHistorySection[] = "History";

// A key of an integer field: the load reads it into the field, with the fallback when
// the file lacks it.
struct IntegerKey {
    const char* name;
    int32_t TraceApp::*field;
    int32_t fallback;
};

// In the order the save writes them. The save writes the options from their fields; the
// window keys it measures from the window itself.
constexpr IntegerKey kOptionKeys[] = {
    {"MaxHops", &TraceApp::maxHops, kDefaultMaxHops},
    {"TimeOut", &TraceApp::timeoutMs, kDefaultTimeoutMs},
    {"ReverseDns", &TraceApp::reverseDns, kDefaultReverseDns},
    {"PacketSize", &TraceApp::packetSize, kDefaultPacketSize},
};
constexpr IntegerKey kWindowKeys[] = {
    {"XPos", &TraceApp::windowX, CW_USEDEFAULT},
    {"YPos", &TraceApp::windowY, CW_USEDEFAULT},
    {"Width", &TraceApp::windowWidth, CW_USEDEFAULT},
    {"Height", &TraceApp::windowHeight, CW_USEDEFAULT},
};

// The numbered keys of the Column and History sections: "C0" ... "C9", "H0" ... "H15".
constexpr char kColumnKey[] = "C%d";
constexpr char kHistoryKey[] = "H%d";
struct NumberedKey {
    NumberedKey(const char* format, int n) { std::snprintf(text, sizeof text, format, n); }
    char text[8];
};

int32_t readInteger(const char* path, const char* section, const char* key, int32_t fallback) {
    if (path[0] == '\0') return fallback;
    return static_cast<int32_t>(GetPrivateProfileIntA(section, key, fallback, path));
}

void readIntegers(TraceApp& app, const char* path, const char* section, const IntegerKey (&keys)[4]) {
    for (const IntegerKey& key : keys) app.*key.field = readInteger(path, section, key.name, key.fallback);
}

void readHistory(const char* path, HistorySlots& history) {
    presetHistory(history);
    if (path[0] == '\0') return;
    for (int n = 0; n < kHistorySlots; ++n) {
        char value[kHistorySlotSize];
        GetPrivateProfileStringA(kHistorySection, NumberedKey(kHistoryKey, n).text, history[n], value,
                                 sizeof value, path);
        // A hand-edited file can hold tabs or lone carriage returns inside a value;
        // stored as they are they would come back out as extra lines at the save.
        copyPrintable(history[n], value);
    }
}

// The per-key writes of one save into one file, or (`checking`) the same keys read back
// and compared. Each key is written by its own call, so that whatever the save does not
// write stays in the file; the first failed call ends the save.
struct KeyWriter {
    bool text(const char* section, const char* key, const char* value) {
        if (!ok) return false;
        if (!checking) {
            ok = WritePrivateProfileStringA(section, key, value, path) != 0;
            return ok;
        }
        // The profile functions trim blanks and strip quotes from what they read, so
        // the value is compared in that form. Saved values hold no control bytes, so
        // the fallback tells an absent key.
        char found[kHistorySlotSize];
        char expected[kHistorySlotSize];
        GetPrivateProfileStringA(section, key, "\x01", found, sizeof found, path);
        profileReadForm(value, expected, sizeof expected);
        ok = std::strcmp(found, expected) == 0;
        return ok;
    }
    bool integer(const char* section, const char* key, int32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
        return this->text(section, key, text);
    }
    const char* path;
    bool checking;
    bool ok;
};

// A minimised or maximised window's rectangle is not where the user left it; the
// placement of an earlier run stays in the file instead. The position is the screen's;
// the size is kept in 96-DPI units, as the file has always held it.
void writeWindow(KeyWriter& writer, HWND window, uint32_t dpi) {
    RECT outer;
    if (IsIconic(window) || IsZoomed(window) || !GetWindowRect(window, &outer)) return;
    const int32_t values[] = {outer.left, outer.top, savedSizeFromDpi(outer.right - outer.left, dpi),
                              savedSizeFromDpi(outer.bottom - outer.top, dpi)};
    for (int i = 0; i < 4; ++i) writer.integer(kWindowSection, kWindowKeys[i].name, values[i]);
}

void writeHistory(KeyWriter& writer, const HistorySlots& history) {
    for (int n = 0; n < kHistorySlots; ++n) {
        // Every way into the slots already replaces control bytes; the save repeats it
        // so that no slot text can ever start a line, section or key of its own.
        char value[kHistorySlotSize];
        copyPrintable(value, history[n]);
        writer.text(kHistorySection, NumberedKey(kHistoryKey, n).text, value);
    }
}

// Every key of a save into `path` (or compared with it); false when one failed.
bool writeKeys(TraceApp& app, const char* path, bool checking) {
    KeyWriter writer{path, checking, true};
    for (const IntegerKey& key : kOptionKeys) writer.integer(kOptionsSection, key.name, app.*key.field);
    // The DPI the window's sizes were drawn for; the system's answer can lag behind a
    // DPI change message (Windows 10 before 1607 has no DPI per window).
    const uint32_t dpi = app.dpi;
    writeWindow(writer, app.mainWindow, dpi);
    for (int n = 0; n < kColumnCount; ++n) {
        const auto width = savedSizeFromDpi(
            static_cast<int32_t>(SendMessageA(app.listView, LVM_GETCOLUMNWIDTH, n, 0)), dpi);
        writer.integer(kColumnSection, NumberedKey(kColumnKey, n).text, width);
    }
    writeHistory(writer, app.history);
    return writer.ok;
}

}  // namespace

void settingsPath(char* out, size_t capacity) {
    if (capacity == 0) return;
    out[0] = '\0';
    char module[kSettingsPathSize];
    DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    // A path that filled the buffer may have been cut (and is then not terminated on
    // every Windows version): better no settings than a file named after a cut path.
    if (length == 0 || length >= sizeof module) return;
    module[length] = '\0';
    settingsPathFor(module, out, capacity);
}

void loadSettings(TraceApp& app) {
    char path[kSettingsPathSize];
    settingsPath(path, sizeof path);
    // Another copy may be replacing the file right now (or, where the folder is
    // read-only, writing it in place).
    SettingsLock lock(path);
    readIntegers(app, path, kOptionsSection, kOptionKeys);
    readIntegers(app, path, kWindowSection, kWindowKeys);
    // Sizes in the file are 96-DPI units, drawn at the DPI of the monitor the window
    // opens on (the primary one when the system chooses the place).
    const bool placed = app.windowX != CW_USEDEFAULT;
    const uint32_t dpi = dpiAtPoint(placed ? app.windowX : 0, placed ? app.windowY : 0);
    app.windowWidth = savedSizeToDpi(app.windowWidth, dpi);
    app.windowHeight = savedSizeToDpi(app.windowHeight, dpi);
    for (int n = 0; n < kColumnCount; ++n) {
        app.columnWidths[n] = savedSizeToDpi(readInteger(path, kColumnSection, NumberedKey(kColumnKey, n).text, 0), dpi);
    }
    readHistory(path, app.history);
}

// Copies ending together (a log-off) take turns; each replaces the whole file, so the
// last one's settings are what the file holds, whole.
void saveSettings(TraceApp& app) {
    char path[kSettingsPathSize];
    settingsPath(path, sizeof path);
    if (path[0] == '\0') return;
    SettingsLock lock(path);
    SettingsSave save;
    switch (openSettingsSave(path, lock, save)) {
    case SaveTarget::temporaryFile:
        // Written, then read back from the disk: the same sections, the same values.
        commitSettingsSave(save, writeKeys(app, save.path, false) && settingsSectionsKept(save) &&
                                     writeKeys(app, save.path, true));
        break;
    case SaveTarget::realFile:
        writeKeys(app, path, false);
        break;
    case SaveTarget::nothing:
        break;
    }
}
