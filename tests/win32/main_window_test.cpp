// The main window as start-up builds it: class, title, menu, the five controls, the
// layout after a resize, the ten columns, and the two ways out of the message loop.
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "app/layout.h"
#include "ui/column_layout.h"
#include "ui/display_scale_win32.h"
#include "engine/probe_options.h"
#include "lumentrax_version.h"
#include "app_fixture.h"

namespace {

RECT rectInParent(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Left, top, width and height of the control in its parent's client area.
Values placement(HWND control) {
    const RECT rect = rectInParent(control);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

void expectPlaced(HWND control, const ControlRect& expected, const char* name) {
    EXPECT_EQ(placement(control), (Values{expected.left, expected.top, expected.width, expected.height})) << name;
}

std::string className(HWND window) {
    char name[64];
    name[0] = '\0';
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Measured under Wine 8 at each DPI (the test prefix's LogPixels, set by tests/win32/at_dpi.sh):
// the bar (27 where SM_CYSIZE is 18), the buttons' top, the message font, the check boxes.
struct DpiLayout { long dpi, barHeight, buttonTop, fontHeight, boxSize; };
constexpr DpiLayout kDpiLayouts[] = {{96, 27, 2, -11, 13}, {120, 34, 3, -14, 16}, {144, 40, 3, -17, 20}, {192, 54, 4, -22, 26}};

// The width and height of the list's check boxes.
Values checkBoxSize(HWND list) {
    int box[2] = {-1, -1};
    ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_STATE), &box[0], &box[1]);
    return {box[0], box[1]};
}

// One font of that height in the five controls and the list's header; boxes, bar, margin.
void expectDpiLayout(const TraceApp& app, const DpiLayout& expected) {
    LOGFONTA shape{};
    GetObjectA(app.font, sizeof shape, &shape);
    const Values box = checkBoxSize(app.listView);
    EXPECT_EQ((Values{static_cast<long>(app.dpi), app.barHeight, placement(app.startButton)[1], shape.lfHeight, box[0], box[1]}),
              (Values{expected.dpi, expected.barHeight, expected.buttonTop, expected.fontHeight, expected.boxSize, expected.boxSize}));
    for (HWND control : {app.addressBox, app.startButton, app.copyButton, app.optionsButton, app.listView,
                         ListView_GetHeader(app.listView)})
        EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(app.font)) << className(control);
}

// The rows that the opened drop-down list shows without scrolling.
long dropDownRows(HWND box) {
    SendMessageA(box, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO parts{sizeof parts, {}, {}, 0, nullptr, nullptr, nullptr};
    RECT list{};
    if (GetComboBoxInfo(box, &parts)) GetClientRect(parts.hwndList, &list);
    SendMessageA(box, CB_SHOWDROPDOWN, FALSE, 0);
    return list.bottom / static_cast<long>(SendMessageA(box, CB_GETITEMHEIGHT, 0, 0));
}

}  // namespace

// The class's fields are what the shown window is made of; its menu items are worked as
// commands by the tests below (Exit) and in results_list_test.cpp (Start/Stop).
TEST_F(WindowTest, MainWindowIsShownFromItsClassWithTitleStylesAndMenu) {
    WNDCLASSA windowClass{};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), kMainWindowClass, &windowClass));
    EXPECT_EQ(windowClass.style, static_cast<UINT>(CS_DBLCLKS));
    EXPECT_EQ(windowClass.hbrBackground, GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_NE(windowClass.hIcon, nullptr);
    EXPECT_EQ(className(app->mainWindow), "LumentraxClass");
    EXPECT_EQ(drive::windowText(app->mainWindow), "Lumentrax v" + std::to_string(LUMENTRAX_VERSION_MAJOR) + "." +
                                                       std::to_string(LUMENTRAX_VERSION_MINOR));
    const LONG style = GetWindowLongA(app->mainWindow, GWL_STYLE);
    EXPECT_EQ(style & (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
    EXPECT_TRUE(IsWindowVisible(app->mainWindow));
    HMENU bar = GetMenu(app->mainWindow);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(app->barHeight, 3 * GetSystemMetrics(SM_CYSIZE) / 2);
    ASSERT_NE(app->hopTable, nullptr);
    const HopTable& table = *app->hopTable;
    EXPECT_EQ((Values{table.maxHops, table.timeoutMs, static_cast<int32_t>(table.packetSize), table.reverseDns}),
              (Values{kDefaultMaxHops, kDefaultTimeoutMs, kDefaultPacketSize, kDefaultReverseDns}));
    EXPECT_FALSE(app->hopTable->isRunning());
}

TEST_F(WindowTest, FiveControlsWithClassesTextsStylesAndIdentifiers) {
    struct Expected {
        HWND window;
        const char* className;
        const char* text;
        int id;
        LONG styles;
    };
    const Expected controls[] = {
        // The combo box takes its border off its own window, so only its kind is checked.
        {app->addressBox, "ComboBox", "", 0, CBS_DROPDOWN},
        {app->startButton, "Button", "Start", IDM_STARTSTOP, BS_DEFPUSHBUTTON},
        {app->copyButton, "Button", "Copy", IDM_COPY, BS_DEFPUSHBUTTON},
        {app->optionsButton, "Button", "Options", IDM_OPTIONS, BS_DEFPUSHBUTTON},
        {app->listView, "SysListView32", "ListView", 0, WS_BORDER | LVS_REPORT | LVS_NOSORTHEADER},
    };
    for (const Expected& c : controls) {
        ASSERT_TRUE(IsWindow(c.window)) << c.className;
        EXPECT_EQ(GetParent(c.window), app->mainWindow) << c.className;
        EXPECT_STRCASEEQ(className(c.window).c_str(), c.className);
        EXPECT_EQ(drive::windowText(c.window), c.text) << c.className;
        EXPECT_EQ(GetDlgCtrlID(c.window), c.id) << c.className;
        const LONG style = GetWindowLongA(c.window, GWL_STYLE);
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | c.styles), WS_CHILD | WS_VISIBLE | c.styles)
            << c.className;
    }
    EXPECT_EQ(SendMessageA(app->listView, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0),
              LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    // The history's default host is offered in the drop-down list, not typed in.
    EXPECT_GE(SendMessageA(app->addressBox, CB_GETCOUNT, 0, 0), 1);
}

TEST_F(WindowTest, ControlsFollowTheClientAreaWhenResizedAndMinimised) {
    SetWindowPos(app->mainWindow, nullptr, 10, 10, 737, 512, SWP_NOZORDER);
    RECT client{};
    GetClientRect(app->mainWindow, &client);
    const ControlLayout expected = computeLayout(client.right, client.bottom, app->barHeight);
    // The list fills the width under the bar; the buttons share 3/7 after the box's half.
    EXPECT_EQ(expected.listView.width, client.right);
    EXPECT_EQ(expected.startButton.left, client.right / 2 + 1);
    expectPlaced(app->listView, expected.listView, "list");
    expectPlaced(app->startButton, expected.startButton, "start");
    expectPlaced(app->copyButton, expected.copyButton, "copy");
    expectPlaced(app->optionsButton, expected.optionsButton, "options");
    const Values box = placement(app->addressBox);
    EXPECT_EQ((Values{box[0], box[1], box[0] + box[2]}), (Values{0, 0, client.right / 2})) << "address box";

    // Minimised, the client area is 0 x 0: no control gets a negative size, and the
    // restored window is laid out again.
    ShowWindow(app->mainWindow, SW_MINIMIZE);
    drive::pumpMessages();  // as the loop does between idle ticks
    for (HWND control : {app->listView, app->startButton, app->copyButton, app->optionsButton}) {
        const Values placed = placement(control);
        EXPECT_GE(std::min(placed[2], placed[3]), 0);
    }
    ShowWindow(app->mainWindow, SW_RESTORE);
    drive::pumpMessages();
    GetClientRect(app->mainWindow, &client);
    expectPlaced(app->listView, computeLayout(client.right, client.bottom, app->barHeight).listView,
                 "list restored");
}

TEST_F(WindowTest, SizeMessageBeforeTheControlsExistMovesNothing) {
    const RECT before = rectInParent(app->startButton);
    HWND list = app->listView;
    app->listView = nullptr;  // as while start-up has not created the list yet
    SendMessageA(app->mainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
    app->listView = list;
    const RECT after = rectInParent(app->startButton);
    EXPECT_EQ((Values{after.left, after.right}), (Values{before.left, before.right}));
    // With all controls present the same message does move them.
    SendMessageA(app->mainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
    EXPECT_EQ(rectInParent(app->startButton).left, 300 / 2 + 1);
}

TEST_F(WindowTest, TenColumnsWithHeadersAlignmentAndDefaultWidths) {
    // The widths were taken from the client width measured right after creation, which
    // the list still has: nothing has resized the window since.
    RECT client{};
    GetClientRect(app->mainWindow, &client);
    const char* headers[] = {"Hop",       "IP Address", "Name", "Last Ping", "Ave. Ping",
                             "Best Ping", "Worst Ping", "Sent", "Received",  "Loss"};
    for (int i = 0; i < kColumnCount; ++i) {
        char text[64];
        text[0] = '\0';
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM | LVCF_WIDTH;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(app->listView, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)))
            << i;
        EXPECT_STREQ(text, headers[i]);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, i <= 2 ? LVCFMT_LEFT : LVCFMT_RIGHT) << i;
        EXPECT_EQ(column.iSubItem, i);
        EXPECT_EQ(columnWidth(i), ::columnWidth(i, 0, client.right)) << i;
    }
    EXPECT_EQ(columnWidth(kColumnCount), 0);
}

TEST_F(WindowTest, IdleTickWithoutTraceChangesNothing) {
    tick(20);
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(script::echoCount(), 0);
    EXPECT_EQ(drive::windowText(app->startButton), kStartText);
}

TEST_F(WindowTest, ExitCommandEndsTheLoopWithZeroAndTeardownSavesOnce) {
    // File's last item, as the menu hands it over.
    HMENU file = GetSubMenu(GetMenu(app->mainWindow), 0);
    const UINT exitItem = GetMenuItemID(file, GetMenuItemCount(file) - 1);
    EXPECT_EQ(exitItem, static_cast<UINT>(IDM_EXIT));
    PostMessageA(app->mainWindow, WM_COMMAND, MAKEWPARAM(exitItem, 0), 0);
    EXPECT_EQ(app->run(), 0);
    // After Exit the window still stands; the teardown destroys it and saves then.
    HWND window = app->mainWindow;
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(exists());
    finish();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(exists());
    EXPECT_EQ(theApp, nullptr);
}

TEST_F(WindowTest, CloseBoxEndsTheLoopWithZeroAndSavesAtOnce) {
    PostMessageA(app->mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(app->run(), 0);
    EXPECT_FALSE(IsWindow(app->mainWindow));
    EXPECT_TRUE(exists());
    // The saved column widths are the ones the list showed, not zeros.
    const std::string width = drive::settingsValue("Column", "C2");
    EXPECT_TRUE(width != "<absent>" && width != "" && width != "0") << width;
}

TEST_F(WindowTest, MessagesQueuedBeforeTheQuitAreHandledButNoTickRuns) {
    script::target(script::ip(10, 9, 9, 9), 1, 3);
    SetWindowTextA(app->addressBox, "10.9.9.9");
    post(IDM_STARTSTOP);
    post(IDM_EXIT);
    EXPECT_EQ(app->run(), 0);
    EXPECT_TRUE(app->hopTable->isRunning());
    EXPECT_EQ(script::echoCount(), 0);
}

TEST_F(AppTest, AddressOptionFillsTheBoxAndQueuesStart) {
    launch("-x /IP:\"10.9.9.9\" /ip:10.1.1.1");
    EXPECT_EQ(drive::windowText(app->addressBox), "10.9.9.9");
    EXPECT_FALSE(app->hopTable->isRunning());  // queued, not yet handled
    post(IDM_EXIT);
    EXPECT_EQ(app->run(), 0);
    EXPECT_TRUE(app->hopTable->isRunning());
    EXPECT_EQ(app->hopTable->target, script::ip(10, 9, 9, 9));
    EXPECT_EQ(drive::windowText(app->startButton), kStopText);
    EXPECT_STREQ(app->history[0], "10.9.9.9");
}

TEST_F(AppTest, SavedColumnWidthIsUsedAndZeroMeansDefault) {
    drive::writeSettingsFile("[Column]\r\nC0=77\r\nC1=0\r\nC9=33\r\n");
    launch();
    RECT client{};
    GetClientRect(app->mainWindow, &client);
    EXPECT_EQ((Values{columnWidth(0), columnWidth(1), columnWidth(9)}), (Values{77, client.right * 150 / 1060, 33}));
}

// On version 6 of the common controls (the side-by-side copy the manifest asks for),
// every size follows the window's DPI and the history's 16 entries show when the box
// opens; a move to 192 DPI and back scales the columns there and back again.
TEST_F(WindowTest, EverySizeFollowsTheDpiAndAMoveToAnotherDpi) {
    char library[MAX_PATH] = "";
    GetModuleFileNameA(app->commonControls, library, MAX_PATH);
    EXPECT_NE(std::string(library).find("\\winsxs\\amd64_microsoft.windows.common-controls_"), std::string::npos) << library;
    const long dpi = static_cast<long>(windowDpi(app->mainWindow));
    const DpiLayout* start = std::find_if(std::begin(kDpiLayouts), std::end(kDpiLayouts), [&](auto& l) { return l.dpi == dpi; });
    ASSERT_NE(start, std::end(kDpiLayouts)) << dpi;
    expectDpiLayout(*app, *start);
    for (int n = 1; n < 16; ++n) SendMessageA(app->addressBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("10.1.1.1"));
    SetWindowPos(app->mainWindow, nullptr, 10, 10, 600, 400, SWP_NOZORDER);
    int widths[kColumnCount];
    for (int n = 0; n < kColumnCount; ++n) widths[n] = columnWidth(n);
    for (const DpiLayout* to : {&kDpiLayouts[3], start}) {
        const Values was = placement(app->mainWindow);
        const Values size{rescaleDpi(was[2], app->dpi, to->dpi), rescaleDpi(was[3], app->dpi, to->dpi)};
        RECT outer{was[0], was[1], was[0] + size[0], was[1] + size[1]};
        const HFONT before = app->font;
        SendMessageA(app->mainWindow, WM_DPICHANGED, MAKEWPARAM(to->dpi, to->dpi), reinterpret_cast<LPARAM>(&outer));
        EXPECT_EQ(GetObjectType(before), 0u) << "the old font is freed";
        expectDpiLayout(*app, *to);
        EXPECT_EQ((Values{placement(app->mainWindow)[2], placement(app->mainWindow)[3]}), size);
        EXPECT_GE(dropDownRows(app->addressBox), 16) << "after a resize, at " << to->dpi;
        for (int n = 0; n < kColumnCount; ++n) EXPECT_NEAR(columnWidth(n), rescaleDpi(widths[n], start->dpi, to->dpi), 1) << n;
    }
    // The route history window opens within the screen's work area at every DPI.
    SendMessageA(app->mainWindow, WM_SYSCOMMAND, IDM_ROUTE_HISTORY, 0);
    RECT history{}, work{}, inside{};
    GetWindowRect(app->routeHistoryView.window, &history);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(IntersectRect(&inside, &history, &work) && EqualRect(&inside, &history))
        << history.left << " " << history.top << " " << history.right << " " << history.bottom << " at " << dpi;
}

// Sizes in the file are 96-DPI units (at each DPI of the table above): a 1.0.0 file opens
// the window and a column scaled, the save writes the same numbers, the position as is.
TEST_F(AppTest, SavedSizesAreKeptIn96DpiUnitsAtEveryDpi) {
    drive::writeSettingsFile("[Window]\r\nXPos=40\r\nYPos=30\r\nWidth=600\r\nHeight=400\r\n[Column]\r\nC2=90\r\n");
    launch();
    const uint32_t dpi = windowDpi(app->mainWindow);
    EXPECT_EQ(placement(app->mainWindow), (Values{40, 30, scaleToDpi(600, dpi), scaleToDpi(400, dpi)})) << dpi;
    EXPECT_EQ(columnWidth(2), scaleToDpi(90, dpi));
    closeByCloseBox();
    EXPECT_EQ(savedValues("Window", {"XPos", "YPos", "Width", "Height"}) + " " + drive::settingsValue("Column", "C2"),
              "40 30 600 400 90") << dpi;
}

// A DPI change message that no monitor sends (0, 1, 65535: forged by another program)
// leaves no trace: back at the start DPI the check boxes and columns are as they were.
TEST_F(WindowTest, OddDpiChangesLeaveTheBoxesAndColumnsAsTheyWere) {
    const long start = static_cast<long>(app->dpi);
    const auto boxesAndColumns = [&] {
        Values values = checkBoxSize(app->listView);
        for (int n = 0; n < kColumnCount; ++n) values.push_back(columnWidth(n));
        return values;
    };
    const Values before = boxesAndColumns();
    for (long odd : {0L, 1L, 65535L}) {
        for (long dpi : {odd, start}) SendMessageA(app->mainWindow, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0);
        EXPECT_EQ(boxesAndColumns(), before) << "after " << odd << " DPI and back to " << start;
    }
}

// The save converts the sizes with the DPI they were drawn for, the one the last DPI
// change message named (the system's own may lag: Windows 10 before 1607, Wine): after a
// move to twice the DPI the file holds the sizes it held before the move.
TEST_F(WindowTest, SaveAfterADpiChangeKeepsTheSizesIn96DpiUnits) {
    SetWindowPos(app->mainWindow, nullptr, 10, 10, 500, 300, SWP_NOZORDER);
    const Values was = placement(app->mainWindow);
    const uint32_t from = app->dpi, to = 2 * from;
    const Values in96{scaleFromDpi(was[2], from), scaleFromDpi(was[3], from), scaleFromDpi(columnWidth(2), from)};
    RECT outer{was[0], was[1], was[0] + rescaleDpi(was[2], from, to), was[1] + rescaleDpi(was[3], from, to)};
    SendMessageA(app->mainWindow, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&outer));
    closeByCloseBox();
    EXPECT_EQ(savedValues("Window", {"Width", "Height"}) + " " + drive::settingsValue("Column", "C2"),
              std::to_string(in96[0]) + " " + std::to_string(in96[1]) + " " + std::to_string(in96[2]));
}
