// The Options and About dialogs from their templates, worked from a second thread as a
// user would: what they show, what OK stores, what every other way out leaves alone.
#include <atomic>
#include <string>

#include <gtest/gtest-spi.h>

#include "app_fixture.h"

namespace {

struct OptionsShown {
    std::string timeout, packetSize, maxHops;
    bool ticked = false;
};

OptionsShown readOptions(HWND dialog) {
    OptionsShown shown;
    shown.timeout = drive::controlText(dialog, IDC_TIMEOUT);
    shown.packetSize = drive::controlText(dialog, IDC_PACKETSIZE);
    shown.maxHops = drive::controlText(dialog, IDC_MAXHOPS);
    shown.ticked = IsDlgButtonChecked(dialog, IDC_REVERSEDNS) == BST_CHECKED;
    return shown;
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
        return runDialog(IDD_OPTIONS, optionsDialogProc, work, "Options");
    }

    void expectOptions(int32_t timeoutMs, int32_t packetSize, int32_t maxHops, int32_t reverseDns) {
        EXPECT_EQ(app->timeoutMs, timeoutMs);
        EXPECT_EQ(app->packetSize, packetSize);
        EXPECT_EQ(app->maxHops, maxHops);
        EXPECT_EQ(app->reverseDns, reverseDns);
        EXPECT_EQ(app->hopTable->timeoutMs, timeoutMs);
        EXPECT_EQ(static_cast<int32_t>(app->hopTable->packetSize), packetSize);
        EXPECT_EQ(app->hopTable->maxHops, maxHops);
        EXPECT_EQ(app->hopTable->reverseDns, reverseDns);
    }
};

TEST_F(DialogTest, OptionsTemplateHasItsControlsInTabOrder) {
    launch();
    int ids[9] = {};
    LONG styles[9] = {};
    int count = 0;
    int colours = 0;
    runOptions([&](HWND dialog) {
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr && count < 9; child = GetWindow(child, GW_HWNDNEXT)) {
            ids[count] = GetDlgCtrlID(child);
            styles[count++] = GetWindowLongA(child, GWL_STYLE);
        }
        colours = drive::saveDrawnScreenshot(dialog, "options_dialog");
        drive::clickButton(dialog, IDCANCEL);
    });
    ASSERT_EQ(count, 9);
    const int expected[6] = {IDC_REVERSEDNS, IDC_TIMEOUT, IDC_PACKETSIZE, IDC_MAXHOPS, IDOK, IDCANCEL};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ids[i], expected[i]) << i;
    EXPECT_EQ(styles[0] & 0xF, BS_AUTOCHECKBOX);
    EXPECT_TRUE(styles[1] & ES_NUMBER);
    EXPECT_TRUE(styles[2] & ES_NUMBER);
    EXPECT_FALSE(styles[3] & ES_NUMBER) << "the hop limit takes any characters";
    EXPECT_EQ(styles[4] & 0xF, BS_DEFPUSHBUTTON);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(styles[i] & WS_TABSTOP) << i;
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
    EXPECT_EQ(first.timeout, "5") << "a hand-written value shows unchanged";
    EXPECT_EQ(first.packetSize, "64");
    EXPECT_EQ(first.maxHops, "30");
    EXPECT_FALSE(first.ticked);
    expectOptions(20000, 4, 12, 1);

    OptionsShown second;
    result = runOptions([&](HWND dialog) {
        second = readOptions(dialog);
        typeOptions(dialog, "", "5000", "-3", false);
        drive::pressKey(GetDlgItem(dialog, IDC_MAXHOPS), VK_RETURN);  // Enter acts as OK
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(second.timeout, "20000");
    EXPECT_EQ(second.packetSize, "4");
    EXPECT_EQ(second.maxHops, "12");
    EXPECT_TRUE(second.ticked);
    expectOptions(10, 4096, 1, 0);

    closeByCloseBox();
    EXPECT_EQ(drive::settingsValue("Options", "TimeOut"), "10");
    EXPECT_EQ(drive::settingsValue("Options", "PacketSize"), "4096");
    EXPECT_EQ(drive::settingsValue("Options", "MaxHops"), "1");
    EXPECT_EQ(drive::settingsValue("Options", "ReverseDns"), "0");
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
        EXPECT_EQ(shown.timeout, "5") << way;
        EXPECT_TRUE(shown.ticked) << way;
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

    long long sentBefore = -1, progressOpen = -1, progressLater = -2;
    int hopsBefore = -1;
    bool found = false, closed = false, resumed = false;
    OptionsShown shown;
    drive::Helper helper([&] {
        const auto hops = [&] { return onUiThread([&] { return app->hopTable->hopCount; }); };
        if (drive::waitUntil([&] { return hops() == 2 && onUiThread([&] { return app->hopTable->records[0].sent; }) > 50; })) {
            post(IDM_OPTIONS);
            HWND dialog = drive::waitForDialog("Options");
            found = dialog != nullptr;
            if (found) {
                hopsBefore = hops();
                sentBefore = onUiThread([&] { return app->hopTable->records[0].sent; });
                progressOpen = onUiThread([&] { return progress(); });
                shown = readOptions(dialog);
                Sleep(300);  // room for steps that must not happen
                progressLater = onUiThread([&] { return progress(); });
                typeOptions(dialog, "250", "32", "10", false);
                drive::clickButton(dialog, IDOK);
                closed = drive::waitForDialogGone("Options");
                resumed = drive::waitUntil([&] { return hops() == 5; });
            }
        }
        if (found) {
            PostMessageA(app->mainWindow, WM_CLOSE, 0, 0);
        } else {
            giveUp();
        }
    });
    long long sentAfter = -1;
    // The loop ends on the helper's close; what the table holds then is checked below.
    EXPECT_EQ(app->run(), 0);
    helper.join();
    ASSERT_TRUE(found);
    sentAfter = app->hopTable->records[0].sent;
    EXPECT_EQ(hopsBefore, 2);
    EXPECT_EQ(shown.maxHops, "2");
    EXPECT_EQ(progressLater, progressOpen) << "no engine step while the dialog is open";
    EXPECT_TRUE(closed);
    EXPECT_TRUE(resumed) << "discovery goes on past the old hop limit";
    EXPECT_GE(sentAfter, sentBefore) << "the first hop's statistics were kept: no restart";
    EXPECT_EQ(app->hopTable->hopCount, 5);
    EXPECT_STREQ(app->hopTable->records[4].addressText, "10.7.0.99");
    EXPECT_STREQ(app->hopTable->records[1].hostName, "router2.test") << "names found before stay";
    EXPECT_STREQ(app->hopTable->records[2].hostName, "") << "no lookups once switched off";
    EXPECT_EQ(app->hopTable->timeoutMs, 250);
    EXPECT_EQ(app->hopTable->packetSize, 32u);
}

// A dialog the helper cannot find (here: asked for by a caption nothing has) must not
// leave its modal loop waiting for ctest's time limit: it is closed and the test fails.
TEST_F(DialogTest, ADialogTheHelperDoesNotFindIsClosedAndFailsTheTest) {
    launch();
    INT_PTR result = -2;
    EXPECT_NONFATAL_FAILURE(result = runDialog(IDD_ABOUT, aboutDialogProc, [](HWND) {}, "No such dialog", 500),
                            "no dialog \"No such dialog\" showed");
    EXPECT_EQ(result, 0) << "closed as by its close box";
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
            gone = drive::waitForDialogGone("About Lumentrax");
        }, "About Lumentrax");
        EXPECT_EQ(result, 0) << way;
        EXPECT_TRUE(gone) << way;
    }
    EXPECT_EQ(title, "About Lumentrax");
    EXPECT_EQ(name, "Lumentrax");
    EXPECT_GT(colours, 3) << "the screenshot of the dialog is not blank";
}

}  // namespace
