// The results list driven by the idle tick over a scripted route, and the Start/Stop
// command: rows one per step, their texts and boxes, boxes read back into the engine;
// the list, timelines and route history following a route that changes.
#include <cstring>

#include "app_fixture.h"
#include "ui/route_history_window_win32.h"

namespace {

const uint32_t kRouter1 = script::ip(10, 0, 0, 1);
const uint32_t kRouter3 = script::ip(10, 0, 2, 1);
const uint32_t kTarget = script::ip(10, 9, 9, 9);

// Hop 1 answers and has a name, hop 2 is silent, hop 3 answers, hop 4 is the target.
void scriptRoute() {
    script::router(1, kRouter1, 5);
    script::reverseName(kRouter1, "gw.lab.test");
    script::silent(2);
    script::router(3, kRouter3, 9);
    script::target(kTarget, 4, 12);
    script::name("target.lab.test", kTarget);
}

int echoesTo(uint32_t address, int from) {
    int n = 0;
    for (int i = from; i < script::echoCount(); ++i) n += script::echoAt(i).destination == address;
    return n;
}

}  // namespace

TEST_F(WindowTest, RowsAppearOnePerStepWithTheirTextsAndBoxes) {
    scriptRoute();
    typeAndStart("target.lab.test");
    EXPECT_EQ(drive::windowText(app->startButton), kStopText);
    EXPECT_EQ(rowCount(), 0);

    app->idleTick();
    ASSERT_EQ(rowCount(), 1);
    expectRow(0, {"1", "10.0.0.1", "gw.lab.test", "5 ms", "5 ms", "5 ms", "5 ms", "1", "1", "0%"});
    EXPECT_EQ(boxImage(0), 2);
    EXPECT_EQ(app->hopTable->records[0].changed, 0);

    app->idleTick();
    ASSERT_EQ(rowCount(), 2);
    // A silent hop: clear box, no average and no loss written.
    expectRow(1, {"2", "0.0.0.0", "", "0 ms", "", "0 ms", "0 ms", "0", "0", ""});
    EXPECT_EQ(boxImage(1), 1);
    EXPECT_EQ(app->hopTable->records[1].excluded, 1);

    tick(2);
    ASSERT_EQ(rowCount(), 4);
    expectCells({{2, 1, "10.0.2.1"}, {2, 2, ""}, {3, 0, "4"}, {3, 1, "10.9.9.9"}, {3, 3, "12 ms"}});

    // Monitor phase: rows are redrawn in place, no new rows.
    tick(8);
    EXPECT_EQ(rowCount(), 4);
    expectCells({{0, 0, "1"}, {0, 7, "3"}, {0, 8, "3"}, {1, 7, "0"}, {1, 4, ""}});
}

TEST_F(WindowTest, LossAndAverageCellsFollowTheMonitorAnswers) {
    script::router(1, kRouter1, 10);
    script::target(kTarget, 2, 20);
    const int32_t answers[] = {-1, 16};
    script::answers(kRouter1, answers, 2);
    traceFor("10.9.9.9", 3);  // the third: hop 1 times out
    expectCells({{0, 7, "2"}, {0, 8, "1"}, {0, 9, "50%"}, {0, 4, "10 ms"}});
    app->idleTick();  // hop 2
    app->idleTick();  // hop 1: 16 ms
    expectCells({{0, 9, "34%"}, {0, 4, "13 ms"}, {0, 3, "16 ms"}, {0, 5, "10 ms"}, {0, 6, "16 ms"}});
}

TEST_F(WindowTest, ClearedBoxExcludesTheHopAtTheNextRefreshAndTickingIncludesIt) {
    scriptRoute();
    traceFor("target.lab.test", 4);
    ASSERT_EQ(rowCount(), 4);

    setBox(0, 1);
    EXPECT_EQ(app->hopTable->records[0].excluded, 0);  // not before the refresh
    app->idleTick();
    EXPECT_EQ(app->hopTable->records[0].excluded, 1);
    const std::string sentBefore = cell(0, 7);
    const int from = script::echoCount();
    tick(12);
    EXPECT_EQ(echoesTo(kRouter1, from), 0);
    EXPECT_GT(echoesTo(kTarget, from), 0);
    EXPECT_EQ(cell(0, 7), sentBefore);
    EXPECT_EQ(boxImage(0), 1);  // the program never rewrites an existing row's box

    setBox(0, 2);
    app->idleTick();
    EXPECT_EQ(app->hopTable->records[0].excluded, 0);
    const int again = script::echoCount();
    tick(8);
    EXPECT_GT(echoesTo(kRouter1, again), 0);

    // Ticking a silent hop includes it, but it has no address to ping.
    setBox(1, 2);
    app->idleTick();
    EXPECT_EQ(app->hopTable->records[1].excluded, 0);
    EXPECT_EQ(echoesTo(0, 0), 0);
    EXPECT_EQ(cell(1, 7), "0");
}

TEST_F(WindowTest, BoxesAreStillReadBackAfterStop) {
    scriptRoute();
    traceFor("target.lab.test", 1, true);
    setBox(0, 1);
    app->idleTick();
    EXPECT_EQ(app->hopTable->records[0].excluded, 1);
}

TEST_F(WindowTest, StartWhileRunningStopsAndKeepsTheRows) {
    scriptRoute();
    traceFor("target.lab.test", 2, true);
    EXPECT_FALSE(app->hopTable->isRunning());
    EXPECT_EQ(drive::windowText(app->startButton), kStartText);
    const int echoes = script::echoCount();
    tick(5);
    EXPECT_EQ(script::echoCount(), echoes);
    ASSERT_EQ(rowCount(), 2);
    EXPECT_EQ(cell(0, 1), "10.0.0.1");
    EXPECT_EQ(cell(1, 1), "0.0.0.0");

    // A new start empties the list; new rows take the new records' boxes.
    command(IDM_STARTSTOP);
    EXPECT_EQ(rowCount(), 0);
    app->idleTick();
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(boxImage(0), 2);
}

TEST_F(WindowTest, StartWithAnEmptyBoxChangesNothing) {
    scriptRoute();
    traceFor("target.lab.test", 1, true);
    char slot0[256];
    std::strcpy(slot0, app->history[0]);

    typeAndStart("");
    EXPECT_FALSE(app->hopTable->isRunning());
    EXPECT_EQ(drive::windowText(app->startButton), kStartText);
    EXPECT_EQ(rowCount(), 1);
    EXPECT_STREQ(app->history[0], slot0);
    EXPECT_STREQ(app->history[1], kDefaultTargetHost);
}

TEST_F(WindowTest, UnresolvableAddressLeavesStartAndAnEmptyList) {
    scriptRoute();
    traceFor("target.lab.test", 1, true);
    ASSERT_EQ(rowCount(), 1);

    typeAndStart("nowhere.lab.test");
    EXPECT_FALSE(app->hopTable->isRunning());
    EXPECT_EQ(drive::windowText(app->startButton), kStartText);
    EXPECT_EQ(rowCount(), 0);
    EXPECT_STREQ(app->history[0], "nowhere.lab.test");
    app->idleTick();
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(WindowTest, NotificationsAndUnknownCommandsDoNothing) {
    scriptRoute();
    SetWindowTextA(app->addressBox, "target.lab.test");
    SendMessageA(app->mainWindow, WM_COMMAND, MAKEWPARAM(0, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(app->addressBox));
    const WORD noCommand = IDM_STARTSTOP + 1;  // between Start/Stop and Copy, no command of its own
    EXPECT_EQ(SendMessageA(app->mainWindow, WM_COMMAND, MAKEWPARAM(noCommand, 0), 0), 0);
    EXPECT_FALSE(app->hopTable->isRunning());
    // The button's click notification carries its identifier: the same command as the menu.
    SendMessageA(app->mainWindow, WM_COMMAND, MAKEWPARAM(IDM_STARTSTOP, BN_CLICKED),
                 reinterpret_cast<LPARAM>(app->startButton));
    EXPECT_TRUE(app->hopTable->isRunning());
    // File's first item, as the menu hands it over, stops it again like the button.
    const UINT startStopItem = GetMenuItemID(GetSubMenu(GetMenu(app->mainWindow), 0), 0);
    EXPECT_EQ(startStopItem, static_cast<UINT>(IDM_STARTSTOP));
    SendMessageA(app->mainWindow, WM_COMMAND, MAKEWPARAM(startStopItem, 0), 0);
    EXPECT_FALSE(app->hopTable->isRunning());
    EXPECT_EQ(drive::windowText(app->startButton), kStartText);
}

// Enter in the list activates the focused row: its hop's timeline opens, whatever the
// list puts beyond the notification's header for a key. A DPI change message without its
// rectangle (another program can send one) moves no timeline window and does not end the
// program, as for the main window.
TEST_F(WindowTest, EnterInTheListOpensTheFocusedRowsTimeline) {
    scriptRoute();
    traceFor("target.lab.test", 4);
    const struct { int row; const char* title; } rows[] = {{2, "Hop 3 - 10.0.2.1"}, {0, "Hop 1 - 10.0.0.1 gw.lab.test"}, {3, "Hop 4 - 10.9.9.9"}};
    for (const auto& r : rows) {
        LVITEMA item{};
        item.stateMask = item.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageA(app->listView, LVM_SETITEMSTATE, r.row, reinterpret_cast<LPARAM>(&item));
        SendMessageA(app->listView, WM_KEYDOWN, VK_RETURN, 0);
        HWND window = app->timelineWindows.windows[r.row];
        EXPECT_EQ(window != nullptr ? drive::windowText(window) : "no window", r.title);
    }
    app->openTimeline(0);
    HWND window = app->timelineWindows.windows[0];
    ASSERT_NE(window, nullptr);
    const Values before = outerRect(window);
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(144, 144), 0);
    EXPECT_EQ(outerRect(window), before);
}

// The route changes while the trace monitors it (checks on the script's clock): the silent
// hop 2 answers with a new router (a ticked box), the target moves to hop 3 (hop 4's row
// and timeline window go); hop 1, left out by the user, keeps its box and count. The
// history window from the system menu lists both changes, Ctrl+C copies them, Start empties it.
TEST_F(WindowTest, TheListTimelinesAndHistoryFollowARouteChange) {
    app->routeClock = RouteClock{script::clockMs, routeStampOf};
    scriptRoute();
    traceFor("target.lab.test", 4);
    setBox(0, 1);
    for (int row : {2, 3}) app->openTimeline(row);
    SendMessageA(app->mainWindow, WM_SYSCOMMAND, IDM_ROUTE_HISTORY, 0);
    const RouteHistoryView& history = app->routeHistoryView;
    char item[32] = "";
    GetMenuStringA(GetSystemMenu(app->mainWindow, FALSE), IDM_ROUTE_HISTORY, item, sizeof item, MF_BYCOMMAND);
    EXPECT_EQ(std::string(item) + " | " + drive::windowText(history.window), "Route history... | Route history - target.lab.test");
    app->idleTick();
    const std::string hop1Sent = cell(0, 7);
    script::router(2, script::ip(10, 8, 8, 8), 7);
    script::target(kTarget, 3, 12);
    for (const int64_t endMs = script::clockMs() + 30000; script::clockMs() < endMs; script::advance(10)) app->idleTick();

    ASSERT_EQ(rowCount(), 3);
    expectCells({{0, 7, hop1Sent.c_str()}, {1, 1, "10.8.8.8"}, {2, 1, "10.9.9.9"}});
    EXPECT_EQ((Values{boxImage(0), boxImage(1), app->hopTable->records[1].excluded}), (Values{1, 2, 0}));
    EXPECT_EQ(drive::windowText(app->timelineWindows.windows[2]), "Hop 3 - 10.9.9.9");
    EXPECT_EQ(app->timelineWindows.windows[3], nullptr);
    EXPECT_EQ((Values{app->timelines.hop(1)->marksHeld(), app->timelines.hop(2)->marksHeld()}), (Values{1, 1}));
    std::string events;
    for (int row = 0; row < rowCount(history.list); ++row) {
        for (int column : {1, 2, 3, 9}) events += cell(row, column, history.list) + (column < 9 ? " " : "|");
    }
    EXPECT_EQ(events, "3 changed 10.0.2.1 10.9.9.9|2 changed 0.0.0.0 10.8.8.8|");
    BYTE keys[256] = {};
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);  // Ctrl held for the key that follows
    SendMessageA(history.list, WM_KEYDOWN, 'C', 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    std::string text(4096, '\0');
    text.resize(formatRouteHistoryText(app->routeHistory, &text[0], text.size()));
    EXPECT_EQ(drive::clipboardText(), text);
    command(IDM_STARTSTOP);
    command(IDM_STARTSTOP);
    EXPECT_EQ(rowCount(history.list), 0);
}
