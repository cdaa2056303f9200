// A fresh application object per test, built on the scripted echo service, with no
// settings file left over from another test; and readers for the list view's rows.
#pragma once

#include "app/trace_app.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "scripted_pinger.h"
#include "settings/settings_file.h"
#include "ui/resource.h"

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        removeSettingsFile();
        script::reset();
        app = new TraceApp(GetModuleHandleA(nullptr), commandLine());
    }

    void TearDown() override {
        delete app;
        app = nullptr;
        removeSettingsFile();
    }

    virtual const char* commandLine() const { return ""; }

    static std::string settingsFile() {
        char path[600];
        settingsPath(path, sizeof path);
        return path;
    }

    static void removeSettingsFile() { DeleteFileA(settingsFile().c_str()); }

    static bool settingsFileExists() {
        return GetFileAttributesA(settingsFile().c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    static std::string windowText(HWND window) {
        char text[512];
        text[0] = '\0';
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    void command(WORD id) { SendMessageA(app->mainWindow, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    void startTrace(const char* address) {
        SetWindowTextA(app->addressBox, address);
        command(IDM_STARTSTOP);
    }

    int rowCount() const {
        return static_cast<int>(SendMessageA(app->listView, LVM_GETITEMCOUNT, 0, 0));
    }

    std::string cell(int row, int column) const {
        char text[260];
        text[0] = '\0';
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(app->listView, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }

    // 1 = clear box, 2 = ticked box.
    int boxImage(int row) const {
        LRESULT state = SendMessageA(app->listView, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
        return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12);
    }

    void setBox(int row, int image) {
        LVITEMA item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(image);
        SendMessageA(app->listView, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }

    // Handles everything queued, as the loop does between idle ticks.
    static void pump() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    TraceApp* app = nullptr;
};
