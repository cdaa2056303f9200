// Loads the probe options, window placement, column widths and address history from
// the settings file beside the executable at start-up, and writes them back once when
// the main window is destroyed.
#include "settings/settings_file.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>

#include "app/trace_app_win32.h"
#include "engine/probe_options.h"
#include "settings/settings_path.h"
#include "text/bounded_text.h"

namespace {

// CW_USEDEFAULT: the window system places and sizes a window created with it.
constexpr int32_t kDefaultPlacement = static_cast<int32_t>(0x80000000u);

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

void writeInteger(const char* path, const char* section, const char* key, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    WritePrivateProfileStringA(section, key, text, path);
}

void readHistory(const char* path, HistorySlots& history) {
    presetHistory(history);
    if (path[0] == '\0') return;
    for (int n = 0; n < kHistorySlots; ++n) {
        char value[kHistorySlotSize];
        GetPrivateProfileStringA("History", NumberedKey(kHistoryKey, n).text, history[n], value, sizeof value, path);
        // A hand-edited file can hold tabs or lone carriage returns inside a value;
        // stored as they are they would come back out as extra lines at the save.
        copyPrintable(history[n], value);
    }
}

void writeHistory(const char* path, const HistorySlots& history) {
    for (int n = 0; n < kHistorySlots; ++n) {
        // Every way into the slots already replaces control bytes; the save repeats it
        // so that no slot text can ever start a line, section or key of its own.
        char value[kHistorySlotSize];
        copyPrintable(value, history[n]);
        WritePrivateProfileStringA("History", NumberedKey(kHistoryKey, n).text, value, path);
    }
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
    app.maxHops = readInteger(path, "Options", "MaxHops", kDefaultMaxHops);
    app.timeoutMs = readInteger(path, "Options", "TimeOut", kDefaultTimeoutMs);
    app.reverseDns = readInteger(path, "Options", "ReverseDns", kDefaultReverseDns);
    app.packetSize = readInteger(path, "Options", "PacketSize", kDefaultPacketSize);
    app.windowX = readInteger(path, "Window", "XPos", kDefaultPlacement);
    app.windowY = readInteger(path, "Window", "YPos", kDefaultPlacement);
    app.windowWidth = readInteger(path, "Window", "Width", kDefaultPlacement);
    app.windowHeight = readInteger(path, "Window", "Height", kDefaultPlacement);
    for (int n = 0; n < kColumnCount; ++n) {
        app.columnWidths[n] = readInteger(path, "Column", NumberedKey(kColumnKey, n).text, 0);
    }
    readHistory(path, app.history);
}

void saveSettings(TraceApp& app) {
    char path[kSettingsPathSize];
    settingsPath(path, sizeof path);
    if (path[0] == '\0') return;
    writeInteger(path, "Options", "MaxHops", app.maxHops);
    writeInteger(path, "Options", "TimeOut", app.timeoutMs);
    writeInteger(path, "Options", "ReverseDns", app.reverseDns);
    writeInteger(path, "Options", "PacketSize", app.packetSize);
    // A minimised or maximised window's rectangle is not where the user left it; the
    // placement of an earlier run stays in the file instead.
    if (!IsIconic(app.mainWindow) && !IsZoomed(app.mainWindow)) {
        RECT outer;
        if (GetWindowRect(app.mainWindow, &outer)) {
            writeInteger(path, "Window", "XPos", outer.left);
            writeInteger(path, "Window", "YPos", outer.top);
            writeInteger(path, "Window", "Width", outer.right - outer.left);
            writeInteger(path, "Window", "Height", outer.bottom - outer.top);
        }
    }
    for (int n = 0; n < kColumnCount; ++n) {
        int32_t width = static_cast<int32_t>(SendMessageA(app.listView, LVM_GETCOLUMNWIDTH, n, 0));
        writeInteger(path, "Column", NumberedKey(kColumnKey, n).text, width);
    }
    writeHistory(path, app.history);
}
