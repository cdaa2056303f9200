// The settings file under the real profile functions: defaults, values taken as read,
// what a save writes on each way out, foreign entries, and history texts that must
// never break the file's lines.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "app_fixture.h"
#include "settings/settings_store_win32.h"
#include "ui/options_rules.h"

namespace {

using Lines = std::vector<std::string>;

// A path of the tests (ANSI) as the store takes it.
std::wstring wide(const std::string& text) {
    wchar_t units[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, units, MAX_PATH);
    return units;
}

// The history slots: the given ones hold their texts, all others are empty.
Lines historySlots(std::initializer_list<std::pair<int, const char*>> filled) {
    Lines slots(kHistorySlots);
    for (const auto& slot : filled) slots[slot.first] = slot.second;
    return slots;
}

// The whole file a save of these values gives, section headers included; no window keys
// where `window` is empty (a save of a minimised or maximised window).
Lines expectedFile(const std::string (&options)[4], const Values& window, const int widths[kColumnCount],
                   const Lines& history) {
    Lines lines{"[Options]"};
    const char* keys[4] = {"MaxHops", "TimeOut", "ReverseDns", "PacketSize"};
    for (int i = 0; i < 4; ++i) lines.push_back(std::string(keys[i]) + "=" + options[i]);
    const char* windowKeys[4] = {"XPos", "YPos", "Width", "Height"};
    if (!window.empty()) lines.push_back("[Window]");
    for (size_t i = 0; i < window.size(); ++i) lines.push_back(std::string(windowKeys[i]) + "=" + std::to_string(window[i]));
    lines.push_back("[Column]");
    for (int n = 0; n < kColumnCount; ++n) lines.push_back("C" + std::to_string(n) + "=" + std::to_string(widths[n]));
    lines.push_back("[History]");
    for (int n = 0; n < kHistorySlots; ++n) lines.push_back("H" + std::to_string(n) + "=" + history[n]);
    return lines;
}

class SettingsFileTest : public AppTest {
protected:
    // The options as loaded: MaxHops, TimeOut, ReverseDns, PacketSize.
    Values options() const { return {app->maxHops, app->timeoutMs, app->reverseDns, app->packetSize}; }
    void liveWidths(int (&widths)[kColumnCount]) const {
        for (int n = 0; n < kColumnCount; ++n) widths[n] = columnWidth(n);
    }
    // The window's placement and the list's widths as the save will write them.
    void snapshot() {
        window = outerRect(app->mainWindow);
        liveWidths(widths);
    }
    Values window;
    int widths[kColumnCount]{};
    const std::string defaults[4] = {std::to_string(kDefaultMaxHops), std::to_string(kDefaultTimeoutMs),
                                     std::to_string(kDefaultReverseDns), std::to_string(kDefaultPacketSize)};
    // The saved values of the four window keys, or of the four options, joined by blanks.
    static std::string savedWindow() { return savedValues("Window", {"XPos", "YPos", "Width", "Height"}); }
    static std::string savedOptions() { return savedValues("Options", {"TimeOut", "MaxHops", "PacketSize", "ReverseDns"}); }
    // The history slots as read.
    Lines history() const { return Lines(app->history, app->history + kHistorySlots); }
};

TEST_F(SettingsFileTest, NoFileGivesDefaultsAndTheFirstSaveWritesEveryKey) {
    launch();
    EXPECT_EQ(options(), (Values{40, 1000, 1, 8}));
    EXPECT_EQ((Values{app->windowX, app->windowY, app->windowWidth, app->windowHeight}), Values(4, CW_USEDEFAULT));
    for (int n = 0; n < kColumnCount; ++n) EXPECT_EQ(app->columnWidths[n], 0) << n;
    EXPECT_EQ(history(), historySlots({{0, "one.one.one.one"}}));
    EXPECT_EQ((Values{app->hopTable->maxHops, app->hopTable->timeoutMs}), (Values{40, 1000}));
    expectListed({"one.one.one.one"});
    EXPECT_EQ(drive::windowText(app->addressBox), "");
    EXPECT_EQ(drive::readSettingsFile(), "") << "nothing is written before the end";

    snapshot();
    closeByCloseBox();

    // The defaults as a first run writes them: MaxHops, TimeOut, ReverseDns, PacketSize.
    const std::string options[4] = {"40", "1000", "1", "8"};
    EXPECT_EQ(drive::settingsLines(), expectedFile(options, window, widths, historySlots({{0, "one.one.one.one"}})));
}

TEST_F(SettingsFileTest, OnlyH3KeepsThePresetAndTheOtherDefaults) {
    drive::writeSettingsFile("[History]\r\nH3=third.example.test\r\n");
    launch();
    EXPECT_EQ(history(), historySlots({{0, "one.one.one.one"}, {3, "third.example.test"}}));
    EXPECT_EQ((Values{app->maxHops, app->timeoutMs, app->windowX}),
              (Values{kDefaultMaxHops, kDefaultTimeoutMs, CW_USEDEFAULT}));
    expectListed({"one.one.one.one", "third.example.test"});
}

TEST_F(SettingsFileTest, AnEmptyH0ReplacesTheDefaultHostAndHolesKeepTheirPlace) {
    drive::writeSettingsFile("[History]\r\nH0=\r\nH2=two.test\r\nH5=five.test\r\nH9=" + std::string(300, 'n') + "\r\n");
    launch();
    const std::string cut(255, 'n');  // a long value keeps its first 255 characters
    EXPECT_EQ(history(), historySlots({{2, "two.test"}, {5, "five.test"}, {9, cut.c_str()}}));
    expectListed({"two.test", "five.test", cut.c_str()});
    closeByCloseBox();
    EXPECT_EQ(savedValues("History", {"H0", "H2", "H5"}), " two.test five.test");
}

// The profile functions trim blanks and strip a pair of quotes when they read: values
// spelt so, hand-edited or typed, never cost the save.
TEST_F(SettingsFileTest, HandWrittenValuesAreTakenAsReadAndWrittenBackUnchanged) {
    // H4 holds bytes above 127, which the ANSI code page maps to characters and back.
    drive::writeSettingsFile("[Options]\r\nTimeOut=5\r\nMaxHops=300\r\nPacketSize=-1\r\nReverseDns=7\r\n"
                             "[Column]\r\nC4=-20\r\n[History]\r\nH3=\"\"x\"\"\r\nH4=b\xfc\xe9\x81\xff.test\r\n");
    launch();
    EXPECT_EQ(options(), (Values{300, 5, 7, -1}));
    EXPECT_EQ(app->columnWidths[4], -20);
    EXPECT_EQ((Values{app->hopTable->maxHops, app->hopTable->timeoutMs}), (Values{300, 5}));
    EXPECT_EQ(app->hopTable->traceLimit(), 255) << "the engine keeps within its table";
    EXPECT_STREQ(app->history[3], "\"x\"");
    app->timeoutMs = 6;
    for (const char* typed : {"'single.test'", "\"quoted.test\"", " lead.test", "10.200.2.2 "}) typeAndStart(typed);
    closeByCloseBox();
    EXPECT_EQ(savedOptions(), "6 300 -1 7");
    // As the profile functions write them (Wine's drop the blanks at both ends).
    EXPECT_EQ(savedValues("History", {"H0", "H1", "H2", "H3", "H7", "H8"}),
              "10.200.2.2 lead.test \"quoted.test\" 'single.test' \"x\" b\xfc\xe9\x81\xff.test");
}

// A save that a crash cut short leaves its temporary file beside the settings file. Not
// leftovers: a user's own file, another program's, and that of a copy saving right now
// (a live process, here a suspended one).
TEST_F(SettingsFileTest, ForeignSectionsAndKeysSurviveTheSaveAndLeftoversGo) {
    drive::writeSettingsFile("[Mine]\r\nColour=blue\r\n[Options]\r\nExtra=kept\r\nTimeOut=300\r\n"
                             "[History]\r\nH20=beyond.test\r\n");
    const std::string ini = drive::settingsFile(), leftover = ini + ".lumentrax-4242.tmp",
                      retried = ini + ".lumentrax-4242-2.tmp";
    PROCESS_INFORMATION live{};
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(ini.substr(0, ini.size() - 4).append(".exe").c_str(), nullptr, nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED, nullptr, nullptr, &startup, &live));
    const std::string kept[] = {ini + ".before-upgrade.tmp", ini + ".ini.lumentrax-4242.tmp", ini + ".20261208.tmp",
                                ini + ".lumentrax-" + std::to_string(live.dwProcessId) + ".tmp"};
    for (const std::string& file : {leftover, retried, kept[0], kept[1], kept[2], kept[3]}) {
        CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    launch();
    EXPECT_EQ(app->timeoutMs, 300);
    closeByExit();
    TerminateProcess(live.hProcess, 0);
    CloseHandle(live.hProcess);
    CloseHandle(live.hThread);
    for (const std::string& file : {leftover, retried}) EXPECT_FALSE(exists(file)) << file << " removed by the save";
    for (const std::string& file : kept) EXPECT_TRUE(DeleteFileA(file.c_str())) << file << " kept";
    EXPECT_EQ(savedValues("Mine", {"Colour"}), "blue");
    EXPECT_EQ(savedValues("Options", {"Extra", "TimeOut"}), "kept 300");
    EXPECT_EQ(savedValues("History", {"H20", "H15"}), "beyond.test ");
}

// A copy killed while its save replaced the file leaves the settings only in its
// temporary file: the next start takes the newest complete one as the settings file. A
// newer one cut short (or read-only: no save made it) is not taken, nor removed while no
// settings file is there. A copy still running when another dies so takes it at its save.
TEST_F(SettingsFileTest, ACompleteTemporaryFileOfACopyThatDiedBecomesTheMissingSettingsFile) {
    const std::string ini = drive::settingsFile(), complete = ini + ".lumentrax-4242.tmp",
                      cut = ini + ".lumentrax-4246-1.tmp", readOnly = ini + ".lumentrax-4250.tmp";
    std::string text = "[Mine]\r\nColour=blue\r\n";
    int seventy[kColumnCount];
    std::fill_n(seventy, kColumnCount, 70);
    // Complete without window keys, as a save of a minimised window is.
    for (const std::string& line : expectedFile({"33", "900", "0", "16"}, {}, seventy, historySlots({{0, "taken.test"}}))) {
        text += line + "\r\n";
    }
    drive::writeSettingsFile(text, complete);
    Sleep(20);
    std::string cutShort = text.substr(0, text.find("H15="));
    drive::writeSettingsFile(cutShort.replace(cutShort.find("=33"), 3, "=44"), cut);
    drive::writeSettingsFile(std::string(text).replace(text.find("=33"), 3, "=55"), readOnly);
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    launch();
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);  // should it have been taken
    EXPECT_EQ(options(), (Values{33, 900, 0, 16}));
    EXPECT_STREQ(app->history[0], "taken.test");
    EXPECT_TRUE(exists(cut)) << "cut short: left while no settings file is there";
    closeByExit();
    EXPECT_EQ(savedValues("Mine", {"Colour"}) + " " + savedValues("Options", {"MaxHops"}), "blue 33");
    EXPECT_FALSE(exists(complete) || exists(cut)) << "one taken, the other removed by the save";
    EXPECT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL) && DeleteFileA(readOnly.c_str()));
    launch();
    drive::removeSettingsFile();
    drive::writeSettingsFile(text.replace(text.find("blue"), 4, "green"), complete);
    closeByExit();
    EXPECT_EQ(savedValues("Mine", {"Colour"}) + (exists(complete) ? " left" : ""), "green") << "taken by a copy running";
}

// A lock that another thread holds (as another copy would) while the object lives.
struct LockHeldElsewhere {
    explicit LockHeldElsewhere(const std::string& path)
        : taken(CreateEventA(nullptr, TRUE, FALSE, nullptr)), done(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          holder([this, path] {
              SettingsLock lock(wide(path).c_str());
              SetEvent(taken);
              WaitForSingleObject(done, 15000);
          }) {
        WaitForSingleObject(taken, 10000);
    }
    ~LockHeldElsewhere() {
        SetEvent(done);
        holder.join();
        CloseHandle(taken);
        CloseHandle(done);
    }
    HANDLE taken, done;
    std::thread holder;
};

// Another copy holds the lock, taken through a symbolic link to this folder: this copy
// meets it there, waits out the bound and still saves. A file held without sharing for
// a moment (an antivirus) is saved as well.
TEST_F(SettingsFileTest, ALockHeldThroughALinkedFolderOrAFileHeldForAMomentStillSaves) {
    std::string linked = drive::settingsFile();
    linked.insert(linked.find_last_of('\\'), "\\" LUMENTRAX_LINKED_FOLDER);
    for (const bool lockHeld : {true, false}) {
        drive::writeSettingsFile("[Options]\r\nMaxHops=40\r\n");
        launch();
        app->maxHops = 42;
        if (lockHeld) {
            LockHeldElsewhere other(linked);
            EXPECT_FALSE(SettingsLock(wide(drive::settingsFile()).c_str()).held) << "one lock for both spellings";
            closeByCloseBox();
        } else {
            HANDLE file = CreateFileA(drive::settingsFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            std::thread release([file] {
                Sleep(500);
                CloseHandle(file);
            });
            closeByCloseBox();
            release.join();
        }
        EXPECT_EQ(savedValues("Options", {"MaxHops"}), "42") << (lockHeld ? "lock held" : "file held");
    }
}

// One save of MaxHops into `ini` through the store, in the steps the program's save takes.
void storeSave(const std::string& ini, const char* maxHops) {
    SettingsLock lock(wide(ini).c_str());
    SettingsSave save;
    switch (openSettingsSave(wide(ini).c_str(), lock, save)) {
    case SaveTarget::temporaryFile:
        WritePrivateProfileStringW(L"Options", L"MaxHops", wide(maxHops).c_str(), save.path);
        commitSettingsSave(save, settingsSectionsKept(save));
        break;
    case SaveTarget::realFile:
        WritePrivateProfileStringA("Options", "MaxHops", maxHops, ini.c_str());
        break;
    case SaveTarget::nothing:
        break;
    }
}

// A settings file reached through links: saved wherever the link leads (into a folder
// whose name the ANSI code page cannot spell too), and one lock for the link and the
// file it names.
TEST_F(SettingsFileTest, AFileReachedThroughALinkIsSavedAndLockedAsTheFileItNames) {
    const std::string ini = drive::settingsFile(), folder = ini.substr(0, ini.find_last_of('\\') + 1);
    const std::string unspellable = folder + LUMENTRAX_LINKED_UNSPELLABLE "\\linked.ini";
    drive::writeSettingsFile("[Mine]\r\nColour=blue\r\n", unspellable);
    storeSave(unspellable, "42");
    EXPECT_EQ(drive::settingsValue("Options", "MaxHops", unspellable) + " " + drive::settingsValue("Mine", "Colour", unspellable),
              "42 blue");
    DeleteFileA(unspellable.c_str());

    const std::string target = folder + LUMENTRAX_LINKED_TARGET_FOLDER "\\target.ini";
    drive::writeSettingsFile("[Mine]\r\nColour=blue\r\n", target);
    {
        LockHeldElsewhere link(folder + LUMENTRAX_LINKED_FILE);
        EXPECT_FALSE(SettingsLock(wide(target).c_str()).held) << "one lock for the link and its target";
    }
    DeleteFileA(target.c_str());
}

TEST_F(SettingsFileTest, GeometryIncludingANegativePositionSurvivesARestart) {
    launch();
    MoveWindow(app->mainWindow, -37, 25, 610, 433, TRUE);
    ASSERT_EQ(outerRect(app->mainWindow)[0], -37);
    closeByCloseBox();
    EXPECT_EQ(savedWindow(), "-37 25 610 433");

    launch();
    EXPECT_EQ(app->windowX, -37);
    EXPECT_EQ(outerRect(app->mainWindow), (Values{-37, 25, 610, 433}));
}

// A placement carried from a machine with another monitor, or written by hand, can lie
// where no monitor is: the window opens on the screen, with the saved size when it is
// usable. (A position on a monitor, even in part, is kept: see the test above.)
TEST_F(SettingsFileTest, APlacementOnNoMonitorOpensOnTheScreen) {
    const RECT screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                      GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                      GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    struct Case {
        const char* window;
        long width, height;  // 0: any positive size (the default, or a huge one the system cuts)
    };
    const Case cases[] = {
        {"XPos=50000\r\nYPos=60\r\nWidth=500\r\nHeight=400", 500, 400},
        {"XPos=-60000\r\nYPos=-70000\r\nWidth=0\r\nHeight=-5", 0, 0},
        {"XPos=2147483647\r\nYPos=2147483647\r\nWidth=2147483647\r\nHeight=300", 0, 0},
    };
    for (const Case& c : cases) {
        drive::writeSettingsFile(std::string("[Window]\r\n") + c.window + "\r\n");
        launch();
        RECT window{}, overlap{};
        GetWindowRect(app->mainWindow, &window);
        EXPECT_TRUE(IntersectRect(&overlap, &window, &screen)) << c.window;
        const Values placed = outerRect(app->mainWindow);
        if (c.width != 0) {
            EXPECT_EQ((Values{placed[2], placed[3]}), (Values{c.width, c.height})) << c.window;
        } else {
            EXPECT_GT(std::min(placed[2], placed[3]), 0) << c.window;
        }
        finish();
    }
}

// Maximised or minimised, the window's rectangle is not the placement to restore.
class WindowStateTest : public SettingsFileTest, public ::testing::WithParamInterface<int> {};

TEST_P(WindowStateTest, LeavesTheWindowKeysAsAnEarlierRunWroteThem) {
    drive::writeSettingsFile("[Window]\r\nXPos=40\r\nYPos=30\r\nWidth=520\r\nHeight=410\r\n");
    launch();
    const Values placed = outerRect(app->mainWindow);
    EXPECT_EQ((Values{placed[0], placed[2]}), (Values{40, 520}));
    ShowWindow(app->mainWindow, GetParam());
    ASSERT_TRUE(GetParam() == SW_MAXIMIZE ? IsZoomed(app->mainWindow) : IsIconic(app->mainWindow));
    closeByCloseBox();
    EXPECT_EQ(savedWindow(), "40 30 520 410");
    EXPECT_EQ(drive::settingsValue("Options", "MaxHops"), std::to_string(kDefaultMaxHops)) << "the rest is still saved";
}

TEST_P(WindowStateTest, LeavesAbsentWindowKeysAbsent) {
    launch();
    ShowWindow(app->mainWindow, GetParam());
    closeByExit();
    EXPECT_EQ(savedWindow(), "<absent> <absent> <absent> <absent>");
    EXPECT_NE(drive::settingsValue("Column", "C9"), "<absent>") << "the rest is still saved";
}

INSTANTIATE_TEST_SUITE_P(MaximisedAndMinimised, WindowStateTest, ::testing::Values(SW_MAXIMIZE, SW_MINIMIZE));

// Both ways out save the widths the list shows, not the ones read at start-up.
class ColumnWidthTest : public SettingsFileTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ColumnWidthTest, AWidenedColumnIsSavedAndShownAtTheNextStart) {
    drive::writeSettingsFile("[Column]\r\nC2=90\r\n");
    launch();
    EXPECT_EQ(columnWidth(2), 90);
    SendMessageA(app->listView, LVM_SETCOLUMNWIDTH, 2, MAKELPARAM(222, 0));
    int widths[kColumnCount];
    liveWidths(widths);
    ASSERT_EQ(widths[2], 222);
    GetParam() ? closeByExit() : closeByCloseBox();
    for (int n = 0; n < kColumnCount; ++n) {
        EXPECT_EQ(drive::settingsValue("Column", "C" + std::to_string(n)), std::to_string(widths[n])) << n;
    }
    launch();
    EXPECT_EQ(columnWidth(2), 222);
}

INSTANTIATE_TEST_SUITE_P(CloseBoxAndExit, ColumnWidthTest, ::testing::Values(false, true));

TEST_F(SettingsFileTest, HistorySurvivesARestartNewestFirst) {
    launch();
    typeAndStart("alpha.test");   // does not resolve: remembered all the same
    typeAndStart("Beta.Test");
    typeAndStart("ALPHA.test");   // the same address in other letters moves to the head
    EXPECT_FALSE(app->hopTable->isRunning());
    ASSERT_EQ(listedAddresses(), 1) << "the list keeps what it showed at start-up";
    closeByCloseBox();
    EXPECT_EQ(savedValues("History", {"H0", "H1", "H2", "H3"}), "ALPHA.test Beta.Test one.one.one.one ");

    launch();
    expectListed({"ALPHA.test", "Beta.Test", "one.one.one.one"});
    EXPECT_EQ(drive::windowText(app->addressBox), "");
}

std::string withControlsReplaced(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return text;
}

// Texts from the command line, the address box or a hand-edited file can hold line
// breaks and other control bytes; the saved file must still hold only its own lines.
TEST_F(SettingsFileTest, ControlCharactersFromTheFileAndTheCommandLineNeverAddLines) {
    drive::writeSettingsFile("[History]\r\nH0=x\x01y\tz\x7f!\r\n");
    launch("lumentrax.exe /ip:\"a\r\n[Options]\r\nMaxHops=1\"");
    EXPECT_STREQ(app->history[0], "x?y?z?!") << "texts read from the file are made safe at once";
    expectListed({"x?y?z?!"});
    const std::string typed = drive::windowText(app->addressBox);
    std::printf("address box after /ip: holds %zu bytes\n", typed.size());
    ASSERT_FALSE(typed.empty());
    snapshot();

    PostMessageA(app->mainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(app->run(), 0) << "runs the posted Start first, then ends";
    finish();

    const std::string remembered = withControlsReplaced(typed);
    // The History section was in the file already, so it stays the first one.
    Lines expected = expectedFile(defaults, window, widths, historySlots({{0, remembered.c_str()}, {1, "x?y?z?!"}}));
    std::rotate(expected.begin(), expected.end() - (kHistorySlots + 1), expected.end());
    EXPECT_EQ(drive::settingsLines(), expected);
}

TEST_F(SettingsFileTest, LineBreaksInRememberedOrStoredSlotsNeverAddLines) {
    launch();
    app->rememberAddress("b\r\n[Window]\r\nXPos=1");
    EXPECT_STREQ(app->history[0], "b??[Window]??XPos=1");
    // A slot written past the history rules is still saved as one line.
    std::strcpy(app->history[7], "c\n[Evil]\nkey=v");
    MoveWindow(app->mainWindow, 15, 16, 500, 300, TRUE);
    snapshot();
    closeByCloseBox();

    const Lines saved = historySlots({{0, "b??[Window]??XPos=1"}, {1, "one.one.one.one"}, {7, "c?[Evil]?key=v"}});
    EXPECT_EQ(drive::settingsLines(), expectedFile(defaults, window, widths, saved));
    EXPECT_EQ(drive::settingsValue("Evil", "key"), "<absent>");
}

}  // namespace
