// The application object's life: the start-up sequence that builds the main window and
// its five controls, the message loop with its idle tick, and the teardown.
#include "trace_app.h"

#include <commctrl.h>
#include <winsock.h>

#include "app/command_line.h"
#include "lumentrax_version.h"
#include "settings/settings_file.h"
#include "ui/resource.h"

TraceApp* theApp = nullptr;

namespace {

constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON;

// The class's handler: every message of the main window goes to the application. A
// message that arrives when no application exists gets the default handling.
LRESULT CALLBACK forwardToApp(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (theApp == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return theApp->handleMessage(window, message, wParam, lParam);
}

// A second registration in the same process (a second TraceApp, as in the tests) fails
// because the class exists already with the same handler; that is harmless.
void registerMainClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = forwardToApp;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAINICON));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    windowClass.lpszClassName = kMainWindowClass;
    RegisterClassA(&windowClass);
}

RECT clientRect(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return rect;
}

HWND createChild(const char* className, const char* text, DWORD style, int x, int y, int width,
                 int height, HWND parent, int id, HINSTANCE instance) {
    return CreateWindowExA(0, className, text, style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

}  // namespace

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
      barHeight(0) {
    WSADATA winsock;
    WSAStartup(0x0101, &winsock);
    InitCommonControls();
    theApp = this;
    char address[kCommandLineAddressSize];
    readAddressOption(commandLine != nullptr ? commandLine : "", address);
    loadSettings(*this);
    registerMainClass(instance);

    char title[64];
    wsprintfA(title, "Lumentrax v%d.%d", LUMENTRAX_VERSION_MAJOR, LUMENTRAX_VERSION_MINOR);
    mainWindow = CreateWindowExA(0, kMainWindowClass, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                 windowX, windowY, windowWidth, windowHeight, nullptr, nullptr,
                                 instance, nullptr);
    const int w = clientRect(mainWindow).right;
    barHeight = 3 * GetSystemMetrics(SM_CYSIZE) / 2;

    addressBox = createChild("COMBOBOX", "Address", WS_CHILD | WS_VISIBLE | WS_BORDER | CBS_DROPDOWN,
                             0, 0, w / 2, 8 * barHeight, mainWindow, 0, instance);
    fillAddressList();
    const int buttonWidth = w / 7 - 2;
    const int buttonHeight = barHeight - 4;
    startButton = createChild("BUTTON", "Start", kButtonStyle, w / 2 + 1, 2, buttonWidth,
                              buttonHeight, mainWindow, IDM_STARTSTOP, instance);
    copyButton = createChild("BUTTON", "Copy", kButtonStyle, w / 2 + w / 7 + 1, 2, buttonWidth,
                             buttonHeight, mainWindow, IDM_COPY, instance);
    optionsButton = createChild("BUTTON", "Options", kButtonStyle, w / 2 + 2 * (w / 7) + 1, 2,
                                buttonWidth, buttonHeight, mainWindow, IDM_OPTIONS, instance);

    const RECT again = clientRect(mainWindow);
    listView = createChild(WC_LISTVIEWA, "ListView",
                           WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_NOSORTHEADER, 0,
                           barHeight, again.right, again.bottom - barHeight, mainWindow, 0, instance);
    setupColumns(w);
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

void TraceApp::idleTick() {
    if (hopTable != nullptr) hopTable->step();
    refreshList();
}

// The settings are saved by the main window's destroy handling, so the window goes
// while the application (reached through theApp) still exists.
TraceApp::~TraceApp() {
    delete hopTable;
    hopTable = nullptr;
    if (mainWindow != nullptr && IsWindow(mainWindow)) DestroyWindow(mainWindow);
    WSACleanup();
    if (theApp == this) theApp = nullptr;
}
