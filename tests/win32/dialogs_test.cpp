// The Options and About dialogs from their templates, worked from a second thread as a
// user would: what they show, what OK stores, what every other way out leaves alone.
#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest-spi.h>

#include "app_fixture.h"

namespace {

// What the Options dialog shows: time-out, packet size and hop limit texts, then "1" or
// "0" for the reverse-lookup box.
using OptionsShown = std::vector<std::string>;

OptionsShown readOptions(HWND dialog) {
    const bool ticked = IsDlgButtonChecked(dialog, IDC_REVERSEDNS) == BST_CHECKED;
    return {drive::controlText(dialog, IDC_TIMEOUT), drive::controlText(dialog, IDC_PACKETSIZE),
            drive::controlText(dialog, IDC_MAXHOPS), ticked ? "1" : "0"};
}

void typeOptions(HWND dialog, const char* timeout, const char* packetSize, const char* maxHops, bool tick) {
    SetDlgItemTextA(dialog, IDC_TIMEOUT, timeout);
    SetDlgItemTextA(dialog, IDC_PACKETSIZE, packetSize);
    SetDlgItemTextA(dialog, IDC_MAXHOPS, maxHops);
    CheckDlgButton(dialog, IDC_REVERSEDNS, tick ? BST_CHECKED : BST_UNCHECKED);
}

class DialogTest : public AppTest {
protected:
    // Runs the dialog modally on this thread while `work` acts on it from another one.
    // When no dialog with `caption` shows within `limitMs`, the helper closes whatever
    // dialog this thread shows until the modal loop has returned, and the test fails.
    INT_PTR runDialog(int templateId, DLGPROC handler, const std::function<void(HWND)>& work, const char* caption,
                      int limitMs = 30000) {
        std::atomic<bool> returned{false};
        bool found = false;
        drive::Helper helper([&] {
            HWND dialog = drive::waitForDialog(caption, limitMs);
            found = dialog != nullptr;
            if (found) {
                work(dialog);
                return;
            }
            while (!returned) {
                drive::closeDialogsOf(uiThread);
                Sleep(50);
            }
        });
        INT_PTR result = DialogBoxParamA(app->instance, MAKEINTRESOURCEA(templateId), app->mainWindow, handler, 0);
        returned = true;
        helper.join();
        EXPECT_TRUE(found) << "no dialog \"" << caption << "\" showed; the one open was closed";
        return result;
    }

    INT_PTR runOptions(const std::function<void(HWND)>& work) {
        return runDialog(IDD_OPTIONS, optionsDialogProc, work, OPTIONS_CAPTION);
    }

    // The four options as the application and as the engine hold them.
    void expectOptions(int32_t timeoutMs, int32_t packetSize, int32_t maxHops, int32_t reverseDns) {
        const HopTable& t = *app->hopTable;
        const Values expected{timeoutMs, packetSize, maxHops, reverseDns};
        EXPECT_EQ((Values{app->timeoutMs, app->packetSize, app->maxHops, app->reverseDns}), expected) << "application";
        EXPECT_EQ((Values{t.timeoutMs, static_cast<int32_t>(t.packetSize), t.maxHops, t.reverseDns}), expected) << "engine";
    }
};

TEST_F(DialogTest, OptionsTemplateHasItsControlsInTabOrder) {
    launch();
    int ids[9] = {};
    LONG styles[9] = {};
    int count = 0;
    int colours = 0;
    std::string caption;
    runOptions([&](HWND dialog) {
        caption = drive::windowText(dialog);
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr && count < 9; child = GetWindow(child, GW_HWNDNEXT)) {
            ids[count] = GetDlgCtrlID(child);
            styles[count++] = GetWindowLongA(child, GWL_STYLE);
        }
        colours = drive::saveDrawnScreenshot(dialog, "options_dialog");
        drive::clickButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(caption, "Options");
    ASSERT_EQ(count, 9);
    const int expected[6] = {IDC_REVERSEDNS, IDC_TIMEOUT, IDC_PACKETSIZE, IDC_MAXHOPS, IDOK, IDCANCEL};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(ids[i], expected[i]) << i;
        EXPECT_TRUE(styles[i] & WS_TABSTOP) << i;
    }
    EXPECT_EQ(styles[0] & 0xF, BS_AUTOCHECKBOX);
    EXPECT_TRUE(styles[1] & ES_NUMBER);
    EXPECT_TRUE(styles[2] & ES_NUMBER);
    EXPECT_FALSE(styles[3] & ES_NUMBER) << "the hop limit takes any characters";
    EXPECT_EQ(styles[4] & 0xF, BS_DEFPUSHBUTTON);
    EXPECT_GT(colours, 3) << "the screenshot of the dialog is not blank";
}

TEST_F(DialogTest, OptionsShowsTheFieldsAndOkStoresValuesBroughtIntoRange) {
    drive::writeSettingsFile("[Options]\r\nTimeOut=5\r\nPacketSize=64\r\nMaxHops=30\r\nReverseDns=0\r\n");
    launch();
    OptionsShown first;
    INT_PTR result = runOptions([&](HWND dialog) {
        first = readOptions(dialog);
        typeOptions(dialog, "25000", " 0", "12abc", true);
        drive::clickButton(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(first, (OptionsShown{"5", "64", "30", "0"}));  // a hand-written value shows unchanged
    expectOptions(20000, 4, 12, 1);

    OptionsShown second;
    result = runOptions([&](HWND dialog) {
        second = readOptions(dialog);
        typeOptions(dialog, "", "5000", "-3", false);
        drive::pressKey(GetDlgItem(dialog, IDC_MAXHOPS), VK_RETURN);  // Enter acts as OK
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(second, (OptionsShown{"20000", "4", "12", "1"}));
    expectOptions(10, 4096, 1, 0);

    closeByCloseBox();
    EXPECT_EQ(savedValues("Options", {"TimeOut", "PacketSize", "MaxHops", "ReverseDns"}), "10 4096 1 0");
}

// Cancel, Escape and the close box each leave every option as it was.
TEST_F(DialogTest, OptionsCancelEscapeAndCloseBoxChangeNothing) {
    drive::writeSettingsFile("[Options]\r\nTimeOut=5\r\n");
    launch();
    const std::function<void(HWND)> waysOut[3] = {
        [](HWND dialog) { drive::clickButton(dialog, IDCANCEL); },
        [](HWND dialog) { drive::pressKey(GetDlgItem(dialog, IDC_TIMEOUT), VK_ESCAPE); },
        [](HWND dialog) { drive::pressCloseBox(dialog); },
    };
    for (int way = 0; way < 3; ++way) {
        OptionsShown shown;
        INT_PTR result = runOptions([&](HWND dialog) {
            shown = readOptions(dialog);
            typeOptions(dialog, "300", "100", "7", false);
            waysOut[way](dialog);
        });
        EXPECT_EQ(result, 0) << way;
        EXPECT_EQ(shown, (OptionsShown{"5", "8", "40", "1"})) << way;
        expectOptions(5, 8, 40, 1);
    }
}

// OK while a trace runs: the same trace goes on with the new values, and a higher hop
// limit lets a trace that had stopped at the old one find the rest of the route.
TEST_F(DialogTest, OptionsOkDuringATraceReconfiguresItWithoutRestarting) {
    drive::writeSettingsFile("[Options]\r\nMaxHops=2\r\n");
    for (int ttl = 1; ttl <= 4; ++ttl) {
        script::router(ttl, script::ip(10, 7, 0, ttl), ttl);
        script::reverseName(script::ip(10, 7, 0, ttl), ("router" + std::to_string(ttl) + ".test").c_str());
    }
    script::target(script::ip(10, 7, 0, 99), 5, 9);
    launch();
    typeAndStart("10.7.0.99");
    ASSERT_TRUE(app->hopTable->isRunning());

    long long sentBefore = -1;
    int hopsBefore = -1;
    OptionsShown shown;
    const HopTable& table = *app->hopTable;
    const ModalSeen seen = runWhileModal({
        [&] { return table.hopCount == 2 && table.records[0].sent > 50; }, IDM_OPTIONS, OPTIONS_CAPTION,
        [&](HWND dialog) {
            hopsBefore = onUiThread([&] { return table.hopCount; });
            sentBefore = onUiThread([&] { return table.records[0].sent; });
            shown = readOptions(dialog);
        },
        [](HWND dialog) {
            typeOptions(dialog, "250", "32", "10", false);
            drive::clickButton(dialog, IDOK);
        },
        [&] { return table.hopCount == 5; }});
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(hopsBefore, 2);
    EXPECT_EQ(shown.at(2), "2");
    EXPECT_EQ(seen.progressLater, seen.progressAtOpen) << "no engine step while the dialog is open";
    EXPECT_TRUE(seen.closed);
    EXPECT_TRUE(seen.wentOn) << "discovery goes on past the old hop limit";
    EXPECT_GE(table.records[0].sent, sentBefore) << "the first hop's statistics were kept: no restart";
    EXPECT_EQ(table.hopCount, 5);
    EXPECT_STREQ(table.records[4].addressText, "10.7.0.99");
    EXPECT_STREQ(table.records[1].hostName, "router2.test") << "names found before stay";
    EXPECT_STREQ(table.records[2].hostName, "") << "no lookups once switched off";
    EXPECT_EQ((Values{table.timeoutMs, static_cast<int32_t>(table.packetSize)}), (Values{250, 32}));
}

// A dialog the helper cannot find (here: asked for by a caption nothing has) must not
// leave its modal loop waiting for ctest's time limit: it is closed and the test fails.
TEST_F(DialogTest, ADialogTheHelperDoesNotFindIsClosedAndFailsTheTest) {
    launch();
    INT_PTR result = -2;
    EXPECT_NONFATAL_FAILURE(result = runDialog(IDD_ABOUT, aboutDialogProc, [](HWND) {}, "No such dialog", 500),
                            "no dialog \"No such dialog\" showed");
    EXPECT_EQ(result, 0) << "closed as by its close box";
    // Waits are bounded by clock time, not by a count of polls: a condition that takes
    // 100 ms is asked about three times in 300 ms, not once per 20 ms poll.
    int asked = 0;
    EXPECT_FALSE(drive::waitUntil([&] { ++asked; Sleep(100); return false; }, 300));
    EXPECT_LE(asked, 5);
}

TEST_F(DialogTest, AboutClosesByOkEnterEscapeAndCloseBoxWithResultZero) {
    launch();
    std::string title, name;
    int colours = 0;
    const std::function<void(HWND)> waysOut[4] = {
        [](HWND dialog) { drive::clickButton(dialog, IDOK); },
        [](HWND dialog) { drive::pressKey(GetDlgItem(dialog, IDOK), VK_RETURN); },
        [](HWND dialog) { drive::pressKey(GetDlgItem(dialog, IDOK), VK_ESCAPE); },
        [](HWND dialog) { drive::pressCloseBox(dialog); },
    };
    for (int way = 0; way < 4; ++way) {
        bool gone = false;
        INT_PTR result = runDialog(IDD_ABOUT, aboutDialogProc, [&](HWND dialog) {
            if (way == 0) {
                title = drive::windowText(dialog);
                name = drive::windowText(FindWindowExA(dialog, nullptr, "Static", nullptr));
                colours = drive::saveDrawnScreenshot(dialog, "about_dialog");
            }
            waysOut[way](dialog);
            gone = drive::waitForDialogGone(ABOUT_CAPTION);
        }, ABOUT_CAPTION);
        EXPECT_EQ(result, 0) << way;
        EXPECT_TRUE(gone) << way;
    }
    EXPECT_EQ(title, "About Lumentrax");
    EXPECT_EQ(name, "Lumentrax");
    EXPECT_GT(colours, 3) << "the screenshot of the dialog is not blank";
}

}  // namespace
