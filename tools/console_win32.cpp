// lumentrax-trace's platform on Windows: the window's DLL search restriction, a binary
// standard output (the table already ends its lines in CR LF; text mode would double
// the CR), Windows Sockets 1.1 for the resolver, and the ICMP library's state.
#include "console_platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winsock.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "engine/system_library_win32.h"

bool startConsole(char (&reason)[kConsoleReasonSize]) {
    restrictDllSearch();
    // A process started without a standard output has no descriptor behind stdout.
    const int descriptor = _fileno(stdout);
    if (descriptor >= 0 && _setmode(descriptor, _O_BINARY) != -1) return true;
    std::snprintf(reason, sizeof reason, "standard output is closed");
    return false;
}

NetworkSession::NetworkSession() {
    WSADATA data;
    WSAStartup(0x0101, &data);
}

NetworkSession::~NetworkSession() { WSACleanup(); }

bool echoServiceUsable(const IcmpPinger& pinger, char (&reason)[kConsoleReasonSize]) {
    const char* cause = nullptr;
    if (pinger.library == nullptr) {
        cause = "ICMP.DLL could not be loaded from the system folder";
    } else if (pinger.icmpCreateFile == nullptr || pinger.icmpSendEcho == nullptr) {
        cause = "ICMP.DLL lacks IcmpCreateFile or IcmpSendEcho";
    } else if (pinger.icmpHandle == nullptr || pinger.icmpHandle == INVALID_HANDLE_VALUE) {
        // The window hands such a handle on and lets every echo fail; a console run
        // would print silent hops, so here it counts as no handle.
        cause = "IcmpCreateFile gave no handle";
    }
    if (cause == nullptr) return true;
    std::snprintf(reason, sizeof reason, "cannot send ICMP echoes: %s", cause);
    return false;
}
