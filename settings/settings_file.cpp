// Loads the probe options, window placement, column widths and address history from
// the settings file beside the executable at start-up, and writes them back once when
// the main window is destroyed.
#include "settings/settings_file.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>

#include "app/trace_app.h"
#include "engine/bounded_text.h"
#include "settings/settings_path.h"

namespace {

// CW_USEDEFAULT: the window system places and sizes a window created with it.
constexpr int32_t kDefaultPlacement = static_cast<int32_t>(0x80000000u);

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
        char key[8];
        std::snprintf(key, sizeof key, "H%d", n);
        char value[kHistorySlotSize];
        GetPrivateProfileStringA("History", key, history[n], value, sizeof value, path);
        // A hand-edited file can hold tabs or lone carriage returns inside a value;
        // stored as they are they would come back out as extra lines at the save.
        copyPrintable(history[n], value);
    }
}

void writeHistory(const char* path, const HistorySlots& history) {
    for (int n = 0; n < kHistorySlots; ++n) {
        char key[8];
        std::snprintf(key, sizeof key, "H%d", n);
        // Every way into the slots already replaces control bytes; the save repeats it
        // so that no slot text can ever start a line, section or key of its own.
        char value[kHistorySlotSize];
        copyPrintable(value, history[n]);
        WritePrivateProfileStringA("History", key, value, path);
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

void TraceApp::loadSettings() {
    char path[kSettingsPathSize];
    settingsPath(path, sizeof path);
    maxHops = readInteger(path, "Options", "MaxHops", 40);
    timeoutMs = readInteger(path, "Options", "TimeOut", 1000);
    reverseDns = readInteger(path, "Options", "ReverseDns", 1);
    packetSize = readInteger(path, "Options", "PacketSize", 8);
    windowX = readInteger(path, "Window", "XPos", kDefaultPlacement);
    windowY = readInteger(path, "Window", "YPos", kDefaultPlacement);
    windowWidth = readInteger(path, "Window", "Width", kDefaultPlacement);
    windowHeight = readInteger(path, "Window", "Height", kDefaultPlacement);
    for (int n = 0; n < kColumnCount; ++n) {
        char key[8];
        std::snprintf(key, sizeof key, "C%d", n);
        columnWidths[n] = readInteger(path, "Column", key, 0);
    }
    readHistory(path, history);
}

void TraceApp::saveSettings() {
    char path[kSettingsPathSize];
    settingsPath(path, sizeof path);
    if (path[0] == '\0') return;
    writeInteger(path, "Options", "MaxHops", maxHops);
    writeInteger(path, "Options", "TimeOut", timeoutMs);
    writeInteger(path, "Options", "ReverseDns", reverseDns);
    writeInteger(path, "Options", "PacketSize", packetSize);
    // A minimised or maximised window's rectangle is not where the user left it; the
    // placement of an earlier run stays in the file instead.
    if (!IsIconic(mainWindow) && !IsZoomed(mainWindow)) {
        RECT outer;
        if (GetWindowRect(mainWindow, &outer)) {
            writeInteger(path, "Window", "XPos", outer.left);
            writeInteger(path, "Window", "YPos", outer.top);
            writeInteger(path, "Window", "Width", outer.right - outer.left);
            writeInteger(path, "Window", "Height", outer.bottom - outer.top);
        }
    }
    for (int n = 0; n < kColumnCount; ++n) {
        char key[8];
        std::snprintf(key, sizeof key, "C%d", n);
        int32_t width = static_cast<int32_t>(SendMessageA(listView, LVM_GETCOLUMNWIDTH, n, 0));
        writeInteger(path, "Column", key, width);
    }
    writeHistory(path, history);
}
