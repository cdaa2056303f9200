// Loads the probe options, window placement, column widths and address history from
// the settings file beside the executable at start-up, and writes them back once when
// the main window is destroyed (and at a log-off), each key by its own profile call.
#include "settings/settings_file.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

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

// The program's texts are ANSI; the file is named and opened through the wide profile
// functions. Those convert what the file holds with the ANSI code page, as the ANSI
// ones do inside, so every value keeps its bytes both ways.
struct Wide {
    explicit Wide(const char* text) {
        if (MultiByteToWideChar(CP_ACP, 0, text, -1, units, kHistorySlotSize) == 0) units[0] = L'\0';
    }
    wchar_t units[kHistorySlotSize];  // no more units than the text has bytes
};

// Room for what a value is read into: the read takes up to twice the kept length, as
// the ANSI functions do before they convert and cut.
constexpr int kReadUnits = 2 * kHistorySlotSize;

// `wide` in the ANSI code page, cut to capacity - 1 bytes (never inside a double-byte
// character).
void narrow(const wchar_t* wide, char* out, size_t capacity) {
    char whole[3 * kReadUnits];
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, whole, sizeof whole, nullptr, nullptr) == 0) whole[0] = '\0';
    size_t kept = 0;
    for (size_t step = 1; whole[kept] != '\0'; kept += step) {
        step = IsDBCSLeadByte(static_cast<BYTE>(whole[kept])) && whole[kept + 1] != '\0' ? 2 : 1;
        if (kept + step >= capacity) break;
    }
    std::memcpy(out, whole, kept);
    out[kept] = '\0';
}

// The text of a key, or `fallback` (at most 255 bytes) when the file lacks it.
void readText(const wchar_t* path, const char* section, const char* key, const char* fallback, char (&out)[kHistorySlotSize]) {
    wchar_t value[kReadUnits];
    GetPrivateProfileStringW(Wide(section).units, Wide(key).units, Wide(fallback).units, value, kReadUnits, path);
    narrow(value, out, sizeof out);
}

int32_t readInteger(const wchar_t* path, const char* section, const char* key, int32_t fallback) {
    if (path[0] == L'\0') return fallback;
    return static_cast<int32_t>(GetPrivateProfileIntW(Wide(section).units, Wide(key).units, fallback, path));
}

void readIntegers(TraceApp& app, const wchar_t* path, const char* section, const IntegerKey (&keys)[4]) {
    for (const IntegerKey& key : keys) app.*key.field = readInteger(path, section, key.name, key.fallback);
}

void readHistory(const wchar_t* path, HistorySlots& history) {
    presetHistory(history);
    if (path[0] == L'\0') return;
    for (int n = 0; n < kHistorySlots; ++n) {
        char value[kHistorySlotSize];
        readText(path, kHistorySection, NumberedKey(kHistoryKey, n).text, history[n], value);
        // A hand-edited file can hold tabs or lone carriage returns inside a value;
        // stored as they are they would come back out as extra lines at the save.
        copyPrintable(history[n], value);
    }
}

// Whether a temporary file left by a copy that died holds a finished save: every key
// the save always writes (the window's are skipped while it is minimised or
// maximised). The keys are written in order, so a save cut short by a crash or a full
// disk lacks the last ones, unless the file it copied had them: all are looked for.
bool savedWhole(const wchar_t* path) {
    auto has = [path](const char* section, const char* key) {
        wchar_t value[4];
        GetPrivateProfileStringW(Wide(section).units, Wide(key).units, L"\x01", value, 4, path);
        return std::wcscmp(value, L"\x01") != 0;
    };
    for (const IntegerKey& key : kOptionKeys) {
        if (!has(kOptionsSection, key.name)) return false;
    }
    for (int n = 0; n < kColumnCount; ++n) {
        if (!has(kColumnSection, NumberedKey(kColumnKey, n).text)) return false;
    }
    for (int n = 0; n < kHistorySlots; ++n) {
        if (!has(kHistorySection, NumberedKey(kHistoryKey, n).text)) return false;
    }
    return true;
}

// The per-key writes of one save into one file, or (`checking`) the same keys read back
// and compared. Each key is written by its own call, so that whatever the save does not
// write stays in the file; the first failed call ends the save.
struct KeyWriter {
    bool text(const char* section, const char* key, const char* value) {
        if (!ok) return false;
        if (!checking) {
            ok = WritePrivateProfileStringW(Wide(section).units, Wide(key).units, Wide(value).units, path) != 0;
            return ok;
        }
        // The profile functions trim blanks and strip quotes from what they read, so
        // the value is compared in that form. Saved values hold no control bytes, so
        // the fallback tells an absent key.
        char found[kHistorySlotSize];
        char expected[kHistorySlotSize];
        readText(path, section, key, "\x01", found);
        profileReadForm(value, expected, sizeof expected);
        ok = std::strcmp(found, expected) == 0;
        return ok;
    }
    bool integer(const char* section, const char* key, int32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
        return this->text(section, key, text);
    }
    const wchar_t* path;
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
bool writeKeys(TraceApp& app, const wchar_t* path, bool checking) {
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

void settingsPath(wchar_t* out, size_t capacity) {
    if (capacity == 0) return;
    out[0] = L'\0';
    wchar_t module[kSettingsPathSize];
    DWORD length = GetModuleFileNameW(nullptr, module, kSettingsPathSize);
    // A path that filled the buffer may have been cut (and is then not terminated on
    // every Windows version): better no settings than a file named after a cut path.
    if (length == 0 || length >= kSettingsPathSize) return;
    module[length] = L'\0';
    settingsPathFor(module, out, capacity < kProfilePathSize ? capacity : kProfilePathSize);
}

void loadSettings(TraceApp& app) {
    wchar_t path[kSettingsPathSize];
    settingsPath(path, kSettingsPathSize);
    // Another copy may be replacing the file right now (or, where the folder is
    // read-only, writing it in place).
    SettingsLock lock(path);
    if (path[0] != L'\0') recoverSettingsFile(path, lock, savedWhole);
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
    wchar_t path[kSettingsPathSize];
    settingsPath(path, kSettingsPathSize);
    if (path[0] == L'\0') return;
    SettingsLock lock(path);
    // A copy that died while replacing the file since this one started left the
    // settings only in its temporary file: the save starts from that, not from nothing.
    recoverSettingsFile(path, lock, savedWhole);
    SettingsSave save;
    switch (openSettingsSave(path, lock, save)) {
    case SaveTarget::temporaryFile:
        // Written, then read back from the disk: the same sections, the same values.
        // A folder that lets the file be written but not replaced gets it in place.
        if (commitSettingsSave(save, writeKeys(app, save.path, false) && settingsSectionsKept(save) &&
                                         writeKeys(app, save.path, true)) == SaveEnd::writeInPlace) {
            writeKeys(app, path, false);
        }
        break;
    case SaveTarget::realFile:
        writeKeys(app, path, false);
        break;
    case SaveTarget::nothing:
        break;
    }
}
