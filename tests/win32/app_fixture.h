// A test fixture that writes a settings file first, then builds the application on
// the scripted echo service, ends it the way a user does and reads back what it saved.
#pragma once

#include "app/trace_app.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "dialog_driving.h"
#include "scripted_pinger.h"
#include "ui/resource.h"

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        drive::removeSettingsFile();
        script::reset();
    }

    void TearDown() override {
        delete app;
        app = nullptr;
        drive::removeSettingsFile();
    }

    void launch(const char* commandLine = "") { app = new TraceApp(GetModuleHandleA(nullptr), commandLine); }

    // The close box: quit request, then the window is destroyed inside the loop.
    void closeByCloseBox() {
        PostMessageA(app->mainWindow, WM_CLOSE, 0, 0);
        EXPECT_EQ(app->run(), 0);
        finish();
    }

    // File, Exit: the loop ends first, the window goes with the application object.
    void closeByExit() {
        PostMessageA(app->mainWindow, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        EXPECT_EQ(app->run(), 0);
        finish();
    }

    void finish() {
        delete app;
        app = nullptr;
    }

    void post(WORD command) { PostMessageA(app->mainWindow, WM_COMMAND, MAKEWPARAM(command, 0), 0); }

    void typeAndStart(const char* address) {
        SetWindowTextA(app->addressBox, address);
        app->toggleTrace();
    }

    int listedAddresses() const { return static_cast<int>(SendMessageA(app->addressBox, CB_GETCOUNT, 0, 0)); }

    std::string listedAddress(int index) const {
        char text[600];
        text[0] = '\0';
        SendMessageA(app->addressBox, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }

    int columnWidth(int column) const {
        return static_cast<int>(SendMessageA(app->listView, LVM_GETCOLUMNWIDTH, column, 0));
    }

    // How far the engine has got: hops found plus echoes sent to them. From a helper
    // thread, read it through onUiThread.
    long long progress() const {
        long long total = app->hopTable->hopCount;
        for (int r = 0; r < app->hopTable->hopCount && r < kMaxRecords; ++r) total += app->hopTable->records[r].sent;
        return total;
    }

    // What `read` gives, worked out on this (the program's) thread when a helper thread
    // asks: the engine's records are written by that thread's steps, so a helper reads
    // them only between two of its messages.
    template <typename Read>
    auto onUiThread(Read read) -> decltype(read()) {
        decltype(read()) value{};
        uiCalls.run([&] { value = read(); });
        return value;
    }

    // Called by a helper thread that did not find the box or dialog it waited for: ends
    // every dialog of the program's thread, so that its modal loop returns and the test
    // fails instead of waiting for ctest's time limit, then closes the program.
    void giveUp() {
        drive::closeDialogsOf(uiThread);
        PostMessageA(app->mainWindow, WM_CLOSE, 0, 0);
    }

    TraceApp* app = nullptr;
    const DWORD uiThread = GetCurrentThreadId();
    drive::UiThreadCalls uiCalls;
};
