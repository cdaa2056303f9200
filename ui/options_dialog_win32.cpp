// The Options dialog: shows the four probe options, and on OK brings what was typed
// into range, stores it in the application and hands it to the running engine.
#include <cstdio>

#include "app/trace_app_win32.h"
#include "ui/options_rules.h"
#include "ui/resource.h"

namespace {

void showNumber(HWND dialog, int control, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    SetDlgItemTextA(dialog, control, text);
}

int32_t readNumber(HWND dialog, int control, OptionRange range) {
    char text[256];
    if (GetDlgItemTextA(dialog, control, text, sizeof text) == 0) text[0] = '\0';
    return clampOption(readFieldInteger(text), range.low, range.high);
}

INT_PTR onInit(HWND dialog) {
    CheckDlgButton(dialog, IDC_REVERSEDNS, theApp->reverseDns != 0 ? BST_CHECKED : BST_UNCHECKED);
    showNumber(dialog, IDC_TIMEOUT, theApp->timeoutMs);
    showNumber(dialog, IDC_PACKETSIZE, theApp->packetSize);
    showNumber(dialog, IDC_MAXHOPS, theApp->maxHops);
    return TRUE;  // the focus goes to the first tab stop, the check box
}

// Each field is stored as soon as it is read, so the application never holds a mix
// of an old value and an unclamped new one.
void onOk(HWND dialog) {
    TraceApp& app = *theApp;
    app.reverseDns = IsDlgButtonChecked(dialog, IDC_REVERSEDNS) == BST_CHECKED ? 1 : 0;
    app.timeoutMs = readNumber(dialog, IDC_TIMEOUT, kTimeoutRange);
    app.packetSize = readNumber(dialog, IDC_PACKETSIZE, kPacketSizeRange);
    app.maxHops = readNumber(dialog, IDC_MAXHOPS, kMaxHopsRange);
    if (app.hopTable != nullptr) {
        app.hopTable->configure(app.maxHops, app.packetSize, app.timeoutMs, app.reverseDns);
    }
    PostMessageA(dialog, WM_CLOSE, 1, 0);
}

INT_PTR onCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDOK: onOk(dialog); break;
    case IDCANCEL: PostMessageA(dialog, WM_CLOSE, 0, 0); break;
    default: break;  // notifications of the fields and the check box
    }
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return onInit(dialog);
    case WM_COMMAND: return onCommand(dialog, wParam);
    case WM_CLOSE: EndDialog(dialog, static_cast<INT_PTR>(wParam)); return TRUE;
    default: return FALSE;
    }
}
