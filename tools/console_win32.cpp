// lumentrax-trace's platform on Windows: the window's DLL search restriction, a binary
// standard output (the table already ends its lines in CR LF; text mode would double
// the CR), Windows Sockets 1.1 for the resolver, the ICMP library's state, the clocks
// and the console's control events.
#include "console_platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winsock.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "calendar/system_clock.h"
#include "engine/system_library_win32.h"

namespace {

volatile LONG interrupts = 0;

// Runs on a thread of its own. The first event sets the flag the run reads between
// steps; a second ends the process at once with status 130, as a shell reports Ctrl+C.
// When the console closes, Windows ends the process once this returns (or after about
// five seconds), so the handler waits there while the run writes its report and exits.
// The second ends it by TerminateProcess, not ExitProcess: the exit handlers would wait
// for the stdio lock that the main thread may hold in the middle of a report.
BOOL WINAPI onControlEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    if (InterlockedIncrement(&interrupts) > 1) TerminateProcess(GetCurrentProcess(), 130);
    if (event == CTRL_CLOSE_EVENT) Sleep(10000);
    return TRUE;
}

}  // namespace

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

void readWallClock(WallTime& utc, WallTime& local) {
    const int64_t utcMs = systemUtcMs();
    utc = wallTimeAt(utcMs, 0);
    local = wallTimeAt(utcMs, localOffsetMinutesAt(utcMs / 1000));
}

long long monotonicMs() { return static_cast<long long>(GetTickCount64()); }

void watchInterrupts() { SetConsoleCtrlHandler(onControlEvent, TRUE); }

bool interruptRequested() { return interrupts != 0; }
