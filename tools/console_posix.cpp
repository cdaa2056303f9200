// lumentrax-trace's platform on Linux: ICMP sockets need no network library, and a
// standard output that was closed is found before a socket can take its descriptor
// (the table would then be sent into the socket).
#include "console_platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

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
