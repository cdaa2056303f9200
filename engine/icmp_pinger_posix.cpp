// The echo service on Linux: ICMP echo through an unprivileged ICMP datagram socket where
// the system allows it, else through a raw socket; names through getaddrinfo/getnameinfo.
// Every answer is matched to this call's own request (see echo_parse.h). In a steady run
// of echoes (same time-to-live and timeout, nothing foreign arriving) an answered echo
// costs two system calls: the send, and one read that waits for the answer and takes it
// (three where a wake descriptor is watched: the wait is then a poll of both, then a read).
#include "icmp_pinger.h"

#include <arpa/inet.h>
#include <errno.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "echo_parse.h"
#include "text/bounded_text.h"

namespace {

// Room for the largest request and for any answer the kernel hands over.
constexpr size_t kRequestCapacity = kIcmpHeaderSize + kEchoDataMax;
constexpr size_t kReceiveCapacity = 8192;

int64_t monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

sockaddr_in socketAddress(uint32_t address) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = address;
    return where;
}

// Settings both kinds of socket share: no don't-fragment flag, type of service 0.
void setCommonOptions(int fd) {
    int pmtu = IP_PMTUDISC_DONT;
    setsockopt(fd, IPPROTO_IP, IP_MTU_DISCOVER, &pmtu, sizeof pmtu);
    int tos = 0;
    setsockopt(fd, IPPROTO_IP, IP_TOS, &tos, sizeof tos);
}

// The kernel picks a datagram socket's identifier when it is bound; read it back.
int openDatagramSocket(uint16_t& identifier) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) return -1;
    sockaddr_in local = socketAddress(INADDR_ANY);
    socklen_t length = sizeof local;
    int on = 1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on) != 0) {
        close(fd);
        return -1;
    }
    identifier = ntohs(local.sin_port);
    return fd;
}

// A raw socket sees every ICMP packet of the host; let through only the types that can
// answer an echo, the rest is matched per packet.
int openRawSocket() {
    int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) return -1;
    icmp_filter filter{};
    filter.data = ~((1u << kIcmpEchoReply) | (1u << kIcmpUnreachable) |
                    (1u << kIcmpSourceQuench) | (1u << kIcmpTimeExceeded) |
                    (1u << kIcmpParameterProblem));
    setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    return fd;
}

// Sixteen unpredictable bits. Process ids repeat across pid namespaces (two containers
// sharing one network namespace both run a pid 1), so they cannot tell two probers'
// answers apart; the system's random source can. Should it be unavailable, the clock's
// nanoseconds and the pid stand in.
uint16_t randomBits() {
    uint16_t value = 0;
    if (getrandom(&value, sizeof value, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof value)) {
        return value;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint16_t>(static_cast<uint32_t>(now.tv_nsec) ^
                                 static_cast<uint32_t>(getpid()) * 0x9E3Bu);
}

// A raw socket sees every prober's answers, so its identifier must be this object's
// own: random per process, and different for each object within the process.
uint16_t rawIdentifier() {
    static const uint16_t processBase = randomBits();
    static uint16_t objectCount = 0;
    ++objectCount;
    return static_cast<uint16_t>(processBase + objectCount);
}

// A blocking read does not end exactly on time: the kernel counts a socket's receive
// timeout in clock ticks (10 ms at most) and may end it late by an eighth of it and a
// tick more, while poll's timer is exact. So a blocking read waits for at most three
// quarters of an echo's timeout, less two ticks, and poll waits out the rest; timeouts
// too short for that are poll's alone (0).
constexpr int32_t kKernelTickMs = 10;

int32_t blockingWaitMs(int32_t timeoutMs) {
    const int64_t waitMs = int64_t{timeoutMs} * 3 / 4 - 2 * kKernelTickMs;
    return waitMs >= kKernelTickMs ? static_cast<int32_t>(waitMs) : 0;
}

// Gives the socket this echo's time-to-live and blocking wait where they differ from what
// it has (`timeToLiveSet`, `receiveWaitMs`, kept up to date); false when the time-to-live
// could not be set. A receive timeout that could not be set is recorded as -1.
bool applySettings(int fd, int ttl, int32_t waitMs, int& timeToLiveSet, int32_t& receiveWaitMs) {
    if (ttl != timeToLiveSet) {
        if (setsockopt(fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) != 0) return false;
        timeToLiveSet = ttl;
    }
    if (waitMs != 0 && waitMs != receiveWaitMs) {
        const timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
        const bool set = setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) == 0;
        receiveWaitMs = set ? waitMs : -1;
    }
    return true;
}

// Reads per look at a queue: a flood of foreign packets cannot hold one look for ever.
constexpr int kReadsPerLook = 64;

enum ReadOutcome { kQueueEmpty, kForeign, kAnswer };

ReadOutcome outcomeOf(const EchoAnswer& answer) {
    return answer.kind != kNotOurs ? kAnswer : kForeign;
}

// Reads one entry of the datagram socket's error queue (an ICMP report that quotes one of
// its requests) and matches it.
ReadOutcome readQueuedError(int fd, const EchoProbe& probe, EchoAnswer& answer) {
    uint8_t quoted[kReceiveCapacity];
    uint8_t control[512];
    sockaddr_in original{};
    iovec part{quoted, sizeof quoted};
    msghdr message{};
    message.msg_name = &original;
    message.msg_namelen = sizeof original;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t length = recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (length < 0) return kQueueEmpty;
    // The report and the reporting router's address behind it; an entry cut short (the
    // control area was full) holds neither whole and is not read.
    constexpr size_t kReportSize = sizeof(sock_extended_err) + sizeof(sockaddr_in);
    for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr;
         entry = CMSG_NXTHDR(&message, entry)) {
        if (entry->cmsg_level != IPPROTO_IP || entry->cmsg_type != IP_RECVERR ||
            entry->cmsg_len < CMSG_LEN(kReportSize)) {
            continue;
        }
        sock_extended_err report;
        std::memcpy(&report, CMSG_DATA(entry), sizeof report);
        if (report.ee_origin != SO_EE_ORIGIN_ICMP) continue;
        sockaddr_in offender;
        std::memcpy(&offender, CMSG_DATA(entry) + sizeof report, sizeof offender);
        answer = parseQueuedError(quoted, static_cast<size_t>(length), original.sin_addr.s_addr,
                                  offender.sin_addr.s_addr, report.ee_type, report.ee_code, probe);
        return outcomeOf(answer);
    }
    return kForeign;
}

// Reads one packet; with `flags` 0 it waits for one up to the socket's receive timeout.
// A read that fails has taken the socket's pending error with it: on the datagram socket
// that error stands for an ICMP report in the error queue, which is read next.
ReadOutcome readPacket(int fd, bool isDatagram, int flags, const EchoProbe& probe,
                       EchoAnswer& answer) {
    uint8_t packet[kReceiveCapacity];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t length = recvfrom(fd, packet, sizeof packet, flags,
                                    reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (length < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return kQueueEmpty;
        if (isDatagram && readQueuedError(fd, probe, answer) == kAnswer) return kAnswer;
        return kForeign;
    }
    answer = isDatagram ? parseDatagramMessage(packet, static_cast<size_t>(length),
                                               from.sin_addr.s_addr, probe)
                        : parseRawPacket(packet, static_cast<size_t>(length), probe);
    return outcomeOf(answer);
}

// Takes what is queued, the error queue first when poll flagged it, until the probe's
// answer turns up; `foreignSeen` is set when anything else was read.
bool lookAtQueues(int fd, bool isDatagram, short events, const EchoProbe& probe,
                  EchoAnswer& answer, bool& foreignSeen) {
    for (int i = 0; isDatagram && (events & POLLERR) && i < kReadsPerLook; ++i) {
        const ReadOutcome read = readQueuedError(fd, probe, answer);
        if (read == kAnswer) return true;
        if (read == kQueueEmpty) break;
        foreignSeen = true;
    }
    for (int i = 0; i < kReadsPerLook; ++i) {
        const ReadOutcome read = readPacket(fd, isDatagram, MSG_DONTWAIT, probe, answer);
        if (read == kAnswer) return true;
        if (read == kQueueEmpty) break;
        foreignSeen = true;
    }
    return false;
}

// Waits until `deadlineMs` for the probe's answer. The answer that comes in time is
// usually the first packet: `blockFirst` reads it in the same call that waits for it
// (the socket's receive timeout ends before the deadline). After anything else, poll
// waits to the exact deadline and each wake-up looks at the queues. A `wakeFd` (not -1)
// that turns readable ends the wait with `woken` set; an answer that is there too wins.
bool waitForAnswer(int fd, bool isDatagram, const EchoProbe& probe, int64_t deadlineMs,
                   bool blockFirst, int wakeFd, bool& woken, EchoAnswer& answer,
                   bool& foreignSeen) {
    if (blockFirst) {
        const ReadOutcome first = readPacket(fd, isDatagram, 0, probe, answer);
        if (first == kAnswer) return true;
        foreignSeen = first == kForeign;
    }
    for (;;) {
        const int64_t nowMs = monotonicMs();
        const int64_t leftMs = deadlineMs > nowMs ? deadlineMs - nowMs : 0;
        pollfd waiting[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = poll(waiting, wakeFd >= 0 ? 2 : 1, static_cast<int>(leftMs));
        if (ready < 0 && errno != EINTR) return false;
        if (ready > 0 &&
            lookAtQueues(fd, isDatagram, waiting[0].revents, probe, answer, foreignSeen)) {
            return true;
        }
        if (waiting[1].revents != 0) {
            woken = true;
            return false;
        }
        // The last look after the deadline has been taken: a stream of foreign packets
        // cannot keep the call waiting longer than its timeout.
        if (leftMs == 0) return false;
    }
}

}  // namespace

IcmpPinger::IcmpPinger()
    : socketFd(-1),
      isDatagram(0),
      identifier(0),
      sequence(randomBits()),
      openError(0),
      timeToLiveSet(0),
      receiveWaitMs(0),
      staleMayWait(1),
      wakeFd(-1),
      cutShort(0) {
    socketFd = openDatagramSocket(identifier);
    if (socketFd >= 0) {
        isDatagram = 1;
    } else {
        socketFd = openRawSocket();
        if (socketFd < 0) openError = errno;
        identifier = rawIdentifier();
    }
    if (socketFd >= 0) setCommonOptions(socketFd);
}

IcmpPinger::~IcmpPinger() {
    if (socketFd >= 0) close(socketFd);
}

uint32_t IcmpPinger::resolve(const char* text) {
    if (text == nullptr || text[0] == '\0') return 0;
    in_addr quad{};
    if (inet_pton(AF_INET, text, &quad) == 1) return quad.s_addr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(text, nullptr, &hints, &found) != 0 || found == nullptr) return 0;
    uint32_t address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return address;
}

void IcmpPinger::reverseLookup(char (&hostName)[kHostNameSize], uint32_t address) {
    sockaddr_in where = socketAddress(address);
    char name[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<sockaddr*>(&where), sizeof where, name, sizeof name, nullptr,
                    0, NI_NAMEREQD) != 0) {
        hostName[0] = '\0';
        return;
    }
    copyHostName(hostName, name);
}

void IcmpPinger::formatAddress(char (&addressText)[kAddressTextSize], uint32_t address) {
    in_addr value{};
    value.s_addr = address;
    char text[INET_ADDRSTRLEN];
    if (inet_ntop(AF_INET, &value, text, sizeof text) == nullptr) text[0] = '\0';
    copyBounded(addressText, text);
}

int IcmpPinger::echo(uint32_t destination, int32_t timeToLive, int32_t size, int32_t timeoutMs,
                     EchoResult& result) {
    const int ttl = timeToLive & 0xFF;
    // A time-to-live of 0 would never leave the host; such a request is not sent at all.
    if (socketFd < 0 || ttl == 0 || cutShort != 0) return 0;
    const int32_t waitMs = blockingWaitMs(timeoutMs);
    if (!applySettings(socketFd, ttl, waitMs, timeToLiveSet, receiveWaitMs)) return 0;

    ++sequence;
    uint8_t request[kRequestCapacity];
    const size_t length =
        buildEchoRequest(request, sizeof request, identifier, sequence, echoDataSize(size));
    const EchoProbe probe{destination, identifier, sequence};
    const bool datagram = isDatagram != 0;
    EchoAnswer answer = kNotOursAnswer;
    bool foreignSeen = false;
    // Answers to earlier requests never match this one's sequence. Where one may be
    // queued, it is taken out now, so that the wait below starts on empty queues.
    if (staleMayWait != 0) {
        lookAtQueues(socketFd, datagram, POLLIN | POLLERR, EchoProbe{0, 0, 0}, answer, foreignSeen);
    }

    sockaddr_in where = socketAddress(destination);
    const int64_t startMs = monotonicMs();
    if (sendto(socketFd, request, length, 0, reinterpret_cast<sockaddr*>(&where), sizeof where) !=
        static_cast<ssize_t>(length)) {
        return 0;
    }
    const int64_t deadlineMs = startMs + (timeoutMs > 0 ? timeoutMs : 0);
    foreignSeen = false;
    // A blocking read would not see the wake descriptor: where there is one, poll waits.
    const bool blockFirst = waitMs != 0 && waitMs == receiveWaitMs && wakeFd < 0;
    bool woken = false;
    const bool answered = waitForAnswer(socketFd, datagram, probe, deadlineMs, blockFirst,
                                        wakeFd, woken, answer, foreignSeen);
    if (woken) cutShort = 1;
    // A late answer to this request, or more of what was read, may still come.
    staleMayWait = answered && !foreignSeen ? 0 : 1;
    if (!answered) return 0;
    result.replyAddress = answer.source;
    result.status = static_cast<uint32_t>(answer.type) << 8 | answer.code;
    result.roundTripMs = static_cast<int32_t>(monotonicMs() - startMs);
    return 1;
}
