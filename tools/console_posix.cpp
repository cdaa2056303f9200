// lumentrax-trace's platform on Linux: ICMP sockets need no network library, and a
// standard output that was closed is found before a socket can take its descriptor
// (the table would then be sent into the socket). Interrupts are caught with
// SA_RESTART, so a report's write that waits for a slow reader goes on instead of failing
// with EINTR; the echo service's wait for an answer ends through a pipe that the handler
// writes into (a signal that came just before the wait began would be missed by EINTR).
#include "console_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// Written by the handler alone, which both signals block while it runs.
volatile sig_atomic_t interrupted = 0;
long long firstInterruptMs = 0;
int wakePipe[2] = {-1, -1};  // readable once interrupted; never read

// The first interrupt (and any within kInterruptRepeatMs of it) asks the run to end; a
// later one ends the process as the signal would have without a handler.
void onInterrupt(int signalNumber) {
    const int savedErrno = errno;
    const long long nowMs = monotonicMs();
    if (interrupted == 0) {
        firstInterruptMs = nowMs;
        interrupted = 1;
        if (wakePipe[1] >= 0) (void)!write(wakePipe[1], "", 1);
    } else if (nowMs - firstInterruptMs >= kInterruptRepeatMs) {
        signal(signalNumber, SIG_DFL);
        raise(signalNumber);  // delivered once the handler returns and unblocks it
    }
    errno = savedErrno;
}

}  // namespace

void takeUtf8Arguments(int&, char**&) {}

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

uint32_t resolveHost(IcmpPinger& pinger, const char* host) { return pinger.resolve(host); }

long long monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void watchInterrupts() {
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void letInterruptsEndEchoes(IcmpPinger& pinger) { pinger.wakeFd = wakePipe[0]; }

bool interruptRequested() { return interrupted != 0; }
