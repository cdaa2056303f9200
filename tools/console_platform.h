// What lumentrax-trace needs of its platform around the trace engine: a process and a
// standard output made ready for the table, the network library's start and end, and
// why the echo service cannot probe. Each platform has its own implementation file;
// which one is linked decides, as for the echo service itself.
#pragma once

#include "engine/icmp_pinger.h"

constexpr int kConsoleReasonSize = 256;

// First thing in main: on Windows the DLL search is narrowed to the system folder and
// standard output switched to binary, so the table's bytes leave as the Linux runner's
// do. False, with the reason, when standard output is not open at all.
bool startConsole(char (&reason)[kConsoleReasonSize]);

// Windows Sockets, started on construction and cleaned up on destruction; nothing on
// Linux. Made before the HopTable and ended after it, as the window does.
struct NetworkSession {
    NetworkSession();
    ~NetworkSession();
    NetworkSession(const NetworkSession&) = delete;
    NetworkSession& operator=(const NetworkSession&) = delete;
};

// False, with one line's reason, when `pinger` has no way to send an echo: a trace
// would then print a dark route and pass a failure off as a result.
bool echoServiceUsable(const IcmpPinger& pinger, char (&reason)[kConsoleReasonSize]);
