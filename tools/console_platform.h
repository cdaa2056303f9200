// What lumentrax-trace needs of its platform around the trace engine: a process and a
// standard output made ready for the table, the network library's start and end, why
// the echo service cannot probe, the clocks, and interrupts. Each platform has its own implementation file;
// which one is linked decides, as for the echo service itself.
#pragma once

#include "engine/icmp_pinger.h"
#include "wall_time.h"

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

// The wall clock now, in UTC (offset 0) and in local time with its offset from UTC.
void readWallClock(WallTime& utc, WallTime& local);

// Milliseconds of a clock that never steps back: what --duration and --every measure.
long long monotonicMs();

// From here on an interrupt (SIGINT or SIGTERM; Ctrl+C, Ctrl+Break or the console
// closing) only sets a flag, which the run reads between steps to end with its report;
// a second interrupt ends the process at once.
void watchInterrupts();
bool interruptRequested();
