// The application object's life: the start-up sequence that builds the main window and
// its five controls, the message loop with its idle tick (an engine step, or a route
// check when one is due), and the teardown.
#include "trace_app_win32.h"

#include <commctrl.h>
#include <winsock.h>

#include "app/command_line.h"
#include "app/layout.h"
#include "engine/system_library_win32.h"
#include "lumentrax_version.h"
#include "settings/settings_file.h"
#include "ui/check_boxes_win32.h"
#include "ui/display_scale_win32.h"
#include "ui/resource.h"
#include "ui/tool_window_win32.h"

TraceApp* theApp = nullptr;

namespace {

constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON;
constexpr int kDropDownBars = 8;

// The class's handler: every message of the main window goes to the application. A
// message that arrives when no application exists gets the default handling.
LRESULT CALLBACK forwardToApp(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (theApp == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return theApp->handleMessage(window, message, wParam, lParam);
}

// A second registration in the same process (a second TraceApp, as in the tests) fails
// because the class exists already with the same handler; that is harmless.
void registerMainClass(HINSTANCE instance) {
    WNDCLASSA windowClass = programWindowClass(instance, forwardToApp, kMainWindowClass, CS_DBLCLKS);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    RegisterClassA(&windowClass);
}

// Loads the common controls and registers their window classes (the list view among
// them) through the library's own entry point. Loaded by base name, so the side-by-side
// version 6 that the manifest asks for comes before the system folder's version 5; the
// program has no import of the library, so a file of that name beside it is never loaded.
HMODULE initCommonControls() {
    HMODULE library = loadSystemLibrary("comctl32.dll");
    using InitCommonControlsFn = void(WINAPI*)();
    auto init = entryPointOf<InitCommonControlsFn>(library, "InitCommonControls");
    if (init != nullptr) init();
    return library;
}

// A saved placement from another machine (a second monitor that is gone) or from a
// hand-edited file can lie where no monitor is: the window then opens where the system
// places new windows, with the saved size when that is usable. A saved position that
// meets a monitor, even in part, is kept exactly.
void keepOnScreen(int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
    if (x == CW_USEDEFAULT) return;  // the system chooses the position already
    const bool sizeUsable = width > 0 && height > 0;
    const auto edge = [](int64_t value) {
        return static_cast<LONG>(value > INT32_MAX ? INT32_MAX : value);
    };
    RECT saved;
    saved.left = x;
    saved.top = y;
    saved.right = edge(static_cast<int64_t>(x) + (sizeUsable ? width : 1));
    saved.bottom = edge(static_cast<int64_t>(y) + (sizeUsable ? height : 1));
    if (MonitorFromRect(&saved, MONITOR_DEFAULTTONULL) != nullptr) return;
    x = CW_USEDEFAULT;
    y = CW_USEDEFAULT;
    if (!sizeUsable) {
        width = CW_USEDEFAULT;
        height = CW_USEDEFAULT;
    }
}

// The control bar is one and a half caption buttons high at the window's DPI.
int32_t barHeightAt(uint32_t dpi) { return 3 * systemMetricForDpi(SM_CYSIZE, dpi) / 2; }

RECT clientRect(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return rect;
}

HWND createChild(const char* className, const char* text, DWORD style, const ControlRect& place,
                 HWND parent, int id, HINSTANCE instance) {
    return CreateWindowExA(0, className, text, style, place.left, place.top, place.width, place.height,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

// The five controls where the size handler's layout puts them. The address box is made
// kDropDownBars bars high: on Windows a drop-down box's height at creation is that of the
// box with its opened list (every resize later gives it one bar). The list is placed
// after a second look at the client area, which the buttons cannot have changed.
void createControls(TraceApp& app) {
    const RECT client = clientRect(app.mainWindow);
    const ControlLayout bar = computeLayout(client.right, client.bottom, app.barHeight, app.dpi);
    ControlRect box = bar.addressBox;
    box.height = kDropDownBars * app.barHeight;
    app.addressBox = createChild("COMBOBOX", "Address", WS_CHILD | WS_VISIBLE | WS_BORDER | CBS_DROPDOWN,
                                 box, app.mainWindow, 0, app.instance);
    app.fillAddressList();
    app.startButton = createChild("BUTTON", kStartText, kButtonStyle, bar.startButton, app.mainWindow,
                                  IDM_STARTSTOP, app.instance);
    app.copyButton = createChild("BUTTON", "Copy", kButtonStyle, bar.copyButton, app.mainWindow, IDM_COPY,
                                 app.instance);
    app.optionsButton = createChild("BUTTON", "Options", kButtonStyle, bar.optionsButton, app.mainWindow,
                                    IDM_OPTIONS, app.instance);
    const RECT again = clientRect(app.mainWindow);
    app.listView = createChild(WC_LISTVIEWA, "ListView",
                               WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_NOSORTHEADER,
                               computeLayout(again.right, again.bottom, app.barHeight, app.dpi).listView,
                               app.mainWindow, 0, app.instance);
    app.setupColumns(client.right);
}

}  // namespace

// No call of the start-up is checked, on purpose: Windows Sockets, the common controls,
// the class registration and every window creation may fail, and the program still runs
// to its loop (a failed part shows as a missing window or an echo service that never
// answers) rather than ending with a message of its own.
TraceApp::TraceApp(HINSTANCE moduleInstance, const char* commandLine)
    : windowX(CW_USEDEFAULT),
      windowY(CW_USEDEFAULT),
      windowWidth(CW_USEDEFAULT),
      windowHeight(CW_USEDEFAULT),
      columnWidths{},
      history{},
      maxHops(0),
      timeoutMs(0),
      reverseDns(0),
      packetSize(0),
      hopTable(nullptr),
      addressBox(nullptr),
      mainWindow(nullptr),
      listView(nullptr),
      startButton(nullptr),
      optionsButton(nullptr),
      copyButton(nullptr),
      instance(moduleInstance),
      barHeight(0),
      dpi(kBaseDpi),
      font(nullptr),
      commonControls(nullptr),
      timelineWindows{},
      routeClock{monotonicNowMs, routeStampOf},
      routeHistoryView{} {
    WSADATA winsock;
    WSAStartup(0x0101, &winsock);
    commonControls = initCommonControls();
    theApp = this;
    char address[kCommandLineAddressSize];
    readAddressOption(commandLine != nullptr ? commandLine : "", address);
    loadSettings(*this);
    registerMainClass(instance);

    char title[64];
    wsprintfA(title, kTitleFormat, LUMENTRAX_VERSION_MAJOR, LUMENTRAX_VERSION_MINOR);
    int32_t x = windowX, y = windowY, width = windowWidth, height = windowHeight;
    keepOnScreen(x, y, width, height);
    mainWindow = CreateWindowExA(0, kMainWindowClass, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                 x, y, width, height, nullptr, nullptr, instance, nullptr);
    dpi = windowDpi(mainWindow);
    barHeight = barHeightAt(dpi);
    createControls(*this);
    applyDpi(systemDpi(), dpi);
    addRouteHistoryItem(mainWindow);
    ShowWindow(mainWindow, SW_SHOW);
    UpdateWindow(mainWindow);

    hopTable = new HopTable;
    hopTable->configure(maxHops, packetSize, timeoutMs, reverseDns);
    if (address[0] != '\0') {
        SetWindowTextA(addressBox, address);
        PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDM_STARTSTOP, 0), 0);
    }
}

// Looking at the queue without removing first means the loop never waits: an empty
// queue runs one engine step instead.
int TraceApp::run() {
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            const BOOL got = GetMessageA(&message, nullptr, 0, 0);
            if (got == 0) return static_cast<int>(message.wParam);
            if (got < 0) break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        idleTick();
    }
}

// The controls take the new font before the old one is deleted. The caller lays the
// controls out again when they exist already (the bar's height changed with the DPI).
void TraceApp::applyDpi(uint32_t oldDpi, uint32_t newDpi) {
    dpi = newDpi;
    barHeight = barHeightAt(dpi);
    HFONT previous = font;
    font = createMessageFont(dpi);
    const HWND controls[] = {addressBox, startButton, copyButton, optionsButton, listView};
    for (HWND control : controls) {
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (previous != nullptr) DeleteObject(previous);
    scaleCheckBoxes(listView, commonControls, oldDpi, newDpi);
}

void TraceApp::idleTick() {
    if (hopTable != nullptr && !followRoute()) hopTable->step();
    feedTimelines();
    refreshList();
}

// A confirmed change reaches the list's box before the refresh reads the boxes back.
bool TraceApp::followRoute() {
    const int32_t hopsBefore = hopTable->hopCount;
    const RouteCheckOutcome outcome = checkRoute(*hopTable, routeWatch, routeHistory, routeClock);
    if (outcome.verdict == RouteVerdict::kChanged) {
        tickRewrittenRow(outcome.hopIndex);
        followTimelines(outcome.hopIndex, hopsBefore, routeHistory.newest(0).stamp.monotonicMs);
    }
    if (outcome.verdict != RouteVerdict::kNone) refreshRouteHistory();
    return outcome.checked;
}

// The settings are saved by the main window's destroy handling, so the window goes
// while the application (reached through theApp) still exists.
TraceApp::~TraceApp() {
    delete hopTable;
    hopTable = nullptr;
    if (mainWindow != nullptr && IsWindow(mainWindow)) DestroyWindow(mainWindow);
    if (font != nullptr) DeleteObject(font);
    if (commonControls != nullptr) FreeLibrary(commonControls);
    WSACleanup();
    if (theApp == this) theApp = nullptr;
}
