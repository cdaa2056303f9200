// The one fixture of the Win32 tests: the application object built on the scripted echo
// service with no settings file left over from another test (a test may write one
// first), worked through its commands and its controls, ended the way a user does; and
// readers for the address box and the list view's rows.
#pragma once

#include "app/trace_app_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "dialog_driving.h"
#include "scripted_pinger.h"
#include "ui/resource.h"

// Several numbers checked at once, in a fixed order.
using Values = std::vector<long>;

class AppTest : public ::testing::Test {
protected:

    void SetUp() override {
        drive::removeSettingsFile();
        script::reset();
    }

    void TearDown() override {
        finish();
        drive::removeSettingsFile();
    }

    void launch(const char* commandLine = "") { app = new TraceApp(GetModuleHandleA(nullptr), commandLine); }

    // The close box: quit request, then the window is destroyed inside the loop.
    void closeByCloseBox() { closeBy(WM_CLOSE, 0); }
    // File, Exit: the loop ends first, the window goes with the application object.
    void closeByExit() { closeBy(WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0)); }
    // Posts the message, runs the loop until it ends with 0, then ends the application.
    void closeBy(UINT message, WPARAM wParam) {
        PostMessageA(app->mainWindow, message, wParam, 0);
        EXPECT_EQ(app->run(), 0);
        finish();
    }

    void finish() {
        delete app;
        app = nullptr;
    }

    // A command queued for the loop, and one handled at once as a click does.
    void post(WORD command) { PostMessageA(app->mainWindow, WM_COMMAND, MAKEWPARAM(command, 0), 0); }
    void command(WORD id) { SendMessageA(app->mainWindow, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    void typeAndStart(const char* address) {
        SetWindowTextA(app->addressBox, address);
        command(IDM_STARTSTOP);
    }

    // A trace of `address` run for `steps` idle ticks, then stopped when `stop` is given.
    void traceFor(const char* address, int steps, bool stop = false) {
        typeAndStart(address);
        tick(steps);
        if (stop) command(IDM_STARTSTOP);
    }

    // The saved values of `keys` in `section`, joined by blanks ("<absent>" for a missing key).
    static std::string savedValues(const char* section, std::initializer_list<const char*> keys) {
        std::string values;
        for (const char* key : keys) values += " " + drive::settingsValue(section, key);
        return values.substr(1);
    }

    static bool exists(const std::string& path = drive::settingsFile()) {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // The window's outer rectangle as x, y, width and height.
    static Values outerRect(HWND window) {
        RECT rect{};
        GetWindowRect(window, &rect);
        return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    }

    int listedAddresses() const { return static_cast<int>(SendMessageA(app->addressBox, CB_GETCOUNT, 0, 0)); }

    std::string listedAddress(int index) const {
        char text[600];
        text[0] = '\0';
        SendMessageA(app->addressBox, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // The drop-down list holds exactly these entries, in this order.
    void expectListed(std::initializer_list<const char*> entries) const {
        ASSERT_EQ(listedAddresses(), static_cast<int>(entries.size()));
        int index = 0;
        for (const char* entry : entries) EXPECT_EQ(listedAddress(index++), entry) << "entry " << index - 1;
    }

    int columnWidth(int column) const {
        return static_cast<int>(SendMessageA(app->listView, LVM_GETCOLUMNWIDTH, column, 0));
    }

    // The rows of the results list, or of `list` when given.
    int rowCount(HWND list = nullptr) const {
        return static_cast<int>(SendMessageA(list != nullptr ? list : app->listView, LVM_GETITEMCOUNT, 0, 0));
    }

    // A cell of the results list, or of `list` when given.
    std::string cell(int row, int column, HWND list = nullptr) const {
        char text[260];
        text[0] = '\0';
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list != nullptr ? list : app->listView, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }

    // Each given cell (row, column, text) reads its text; a row's every cell reads its own.
    struct CellText {
        int row;
        int column;
        const char* text;
    };
    void expectCells(std::initializer_list<CellText> cells) const {
        for (const CellText& c : cells) {
            EXPECT_EQ(cell(c.row, c.column), c.text) << "row " << c.row << " column " << c.column;
        }
    }
    void expectRow(int row, const char* const (&texts)[kColumnCount]) const {
        for (int column = 0; column < kColumnCount; ++column) expectCells({{row, column, texts[column]}});
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

    void tick(int times = 1) {
        for (int i = 0; i < times; ++i) app->idleTick();
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

    // A box or dialog that a command opens while the program's loop runs, worked from a
    // helper thread: once `readyToOpen` holds, `command` is posted; the window with
    // `caption` is read by `whileOpen`, left alone for a while (no engine step may run
    // then), and answered by `answer`. After it is gone the helper waits for
    // `goesOnUntil` (when given) and then closes the program. The predicates run on the
    // program's thread.
    struct ModalRun {
        std::function<bool()> readyToOpen;
        WORD command;
        const char* caption;
        std::function<void(HWND)> whileOpen;
        std::function<void(HWND)> answer;
        std::function<bool()> goesOnUntil;
    };
    struct ModalSeen {
        bool found = false;
        long long progressAtOpen = -1;
        long long progressLater = -2;
        bool closed = false;
        bool wentOn = false;
    };

    ModalSeen runWhileModal(const ModalRun& run) {
        ModalSeen seen;
        drive::Helper helper([&] {
            const auto progressNow = [&] { return onUiThread([&] { return progress(); }); };
            HWND window = nullptr;
            if (drive::waitUntil([&] { return onUiThread(run.readyToOpen); })) {
                post(run.command);
                window = drive::waitForDialog(run.caption);
            }
            seen.found = window != nullptr;
            if (!seen.found) return giveUp();
            seen.progressAtOpen = progressNow();
            run.whileOpen(window);
            Sleep(300);  // room for steps that must not happen
            seen.progressLater = progressNow();
            run.answer(window);
            seen.closed = drive::waitForDialogGone(run.caption);
            if (run.goesOnUntil) seen.wentOn = drive::waitUntil([&] { return onUiThread(run.goesOnUntil); });
            PostMessageA(app->mainWindow, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(app->run(), 0);
        helper.join();
        return seen;
    }

    TraceApp* app = nullptr;
    const DWORD uiThread = GetCurrentThreadId();
    drive::UiThreadCalls uiCalls;
};

// The same with the application launched before each test.
class WindowTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        launch();
    }
};
