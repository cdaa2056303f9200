// What lumentrax-trace needs of its platform around the trace engine: the command line in
// UTF-8, a process and a standard output made ready for the table, the network library's
// start and end, the host's address, why the echo service cannot probe, the clocks, and
// interrupts. Each platform has its own implementation file; which one is linked
// decides, as for the echo service itself.
#pragma once

#include "engine/icmp_pinger.h"

constexpr int kConsoleReasonSize = 256;

// The arguments as UTF-8, whatever the system's code page: on Windows they are taken
// from the wide command line and `argc`, `argv` replaced; on Linux they are left as given.
void takeUtf8Arguments(int& argc, char**& argv);

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

// The address of `host` (UTF-8: a dotted quad or a name), 0 when it does not resolve. On
// Windows names go through the wide resolver, so that a name outside the code page
// resolves as it does on Linux.
uint32_t resolveHost(IcmpPinger& pinger, const char* host);

// Milliseconds of a clock that never steps back: what --duration and --every measure.
long long monotonicMs();

// From here on an interrupt (SIGINT or SIGTERM; Ctrl+C, Ctrl+Break or the console
// closing) sets a flag, which the run reads between steps to end with its report, and
// ends the wait of an echo that letInterruptsEndEchoes made wakeable. Interrupts that
// arrive together (a terminal's Ctrl+C reaches a program and the `timeout` that started
// it, which passes it on) are one: only one that comes kInterruptRepeatMs or more after
// the first ends the process at once.
constexpr long long kInterruptRepeatMs = 1000;
void watchInterrupts();
void letInterruptsEndEchoes(IcmpPinger& pinger);
bool interruptRequested();
