// The About dialog: the program's name and credits, closed by OK, Enter, Escape or
// the close box.
#include "app/trace_app_win32.h"

namespace {

INT_PTR onCommand(HWND dialog, WPARAM wParam) {
    WORD command = LOWORD(wParam);
    if (command == IDOK || command == IDCANCEL) PostMessageA(dialog, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return TRUE;  // the focus goes to the OK button
    case WM_COMMAND: return onCommand(dialog, wParam);
    case WM_CLOSE: EndDialog(dialog, static_cast<INT_PTR>(wParam)); return TRUE;
    default: return FALSE;
    }
}
