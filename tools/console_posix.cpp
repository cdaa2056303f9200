// lumentrax-trace's platform on Linux: ICMP sockets need no network library, and a
// standard output that was closed is found before a socket can take its descriptor
// (the table would then be sent into the socket). Interrupts are caught with
// SA_RESTART, so a report's write that waits for a slow reader goes on instead of failing
// with EINTR; a step's receive is a poll with a deadline (never restarted), which goes on
// waiting after EINTR, so a step always ends as it would have.
#include "console_platform.h"

#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "calendar/system_clock.h"

namespace {

volatile sig_atomic_t interrupted = 0;

// The second interrupt ends the process as the signal would have without a handler.
void onInterrupt(int signalNumber) {
    if (interrupted != 0) {
        signal(signalNumber, SIG_DFL);
        raise(signalNumber);
        return;
    }
    interrupted = 1;
}

}  // namespace

bool startConsole(char (&reason)[kConsoleReasonSize]) {
    if (fcntl(STDOUT_FILENO, F_GETFD) != -1) return true;
    std::snprintf(reason, sizeof reason, "standard output is closed");
    return false;
}

NetworkSession::NetworkSession() {}
NetworkSession::~NetworkSession() {}

bool echoServiceUsable(const IcmpPinger& pinger, char (&reason)[kConsoleReasonSize]) {
    if (pinger.socketFd >= 0) return true;
    std::snprintf(reason, sizeof reason,
                  "cannot open an ICMP socket (%s): allow ICMP datagram sockets for this "
                  "group in net.ipv4.ping_group_range, or give the program CAP_NET_RAW",
                  std::strerror(pinger.openError));
    return false;
}

void readWallClock(WallTime& utc, WallTime& local) {
    const int64_t utcMs = systemUtcMs();
    utc = wallTimeAt(utcMs, 0);
    local = wallTimeAt(utcMs, localOffsetMinutesAt(utcMs / 1000));
}

long long monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void watchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interruptRequested() { return interrupted != 0; }
