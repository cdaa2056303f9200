// The address box's side of the history: its drop-down list is filled from the slots
// once at start-up, and every started address goes to the head of the slots.
#include "app/trace_app_win32.h"

void TraceApp::fillAddressList() {
    // Emptying the list also empties the edit field; what it held is put back.
    char text[kWindowTextSize];
    GetWindowTextA(addressBox, text, sizeof text);
    SendMessageA(addressBox, CB_RESETCONTENT, 0, 0);
    for (int n = 0; n < kHistorySlots; ++n) {
        if (history[n][0] != '\0') {
            SendMessageA(addressBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(history[n]));
        }
    }
    SetWindowTextA(addressBox, text);
}

void TraceApp::rememberAddress(const char* address) { ::rememberAddress(history, address); }
