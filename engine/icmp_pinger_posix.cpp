// The echo service on Linux: ICMP echo through an unprivileged ICMP datagram socket where
// the system allows it, else through a raw socket; names through getaddrinfo/getnameinfo.
// Every answer is matched to this call's own request (see echo_parse.h).
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

// Reads one entry of the datagram socket's error queue and matches it.
EchoAnswer readQueuedError(int fd, const EchoProbe& probe) {
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
    if (length < 0) return EchoAnswer{kNotOurs, 0, 0, 0};
    for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr;
         entry = CMSG_NXTHDR(&message, entry)) {
        if (entry->cmsg_level != IPPROTO_IP || entry->cmsg_type != IP_RECVERR) continue;
        sock_extended_err report;
        std::memcpy(&report, CMSG_DATA(entry), sizeof report);
        if (report.ee_origin != SO_EE_ORIGIN_ICMP) continue;
        sockaddr_in offender;
        std::memcpy(&offender, SO_EE_OFFENDER(reinterpret_cast<sock_extended_err*>(CMSG_DATA(entry))),
                    sizeof offender);
        return parseQueuedError(quoted, static_cast<size_t>(length), original.sin_addr.s_addr,
                                offender.sin_addr.s_addr, report.ee_type, report.ee_code, probe);
    }
    return EchoAnswer{kNotOurs, 0, 0, 0};
}

// Reads one packet of the normal queue and matches it; `more` is cleared when empty.
EchoAnswer readPacket(int fd, bool isDatagram, const EchoProbe& probe, bool& more) {
    uint8_t packet[kReceiveCapacity];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t length = recvfrom(fd, packet, sizeof packet, MSG_DONTWAIT,
                                    reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (length < 0) {
        more = false;
        return EchoAnswer{kNotOurs, 0, 0, 0};
    }
    if (isDatagram) {
        return parseDatagramMessage(packet, static_cast<size_t>(length), from.sin_addr.s_addr,
                                    probe);
    }
    return parseRawPacket(packet, static_cast<size_t>(length), probe);
}

// Takes everything queued so far; returns the first answer that belongs to the probe.
EchoAnswer drainQueues(int fd, bool isDatagram, short events, const EchoProbe& probe) {
    if (isDatagram && (events & POLLERR)) {
        // Each entry is read once; a foreign one just leaves the queue.
        for (int i = 0; i < 64; ++i) {
            EchoAnswer answer = readQueuedError(fd, probe);
            if (answer.kind != kNotOurs) return answer;
            pollfd check{fd, 0, 0};
            if (poll(&check, 1, 0) <= 0 || !(check.revents & POLLERR)) break;
        }
    }
    if (events & POLLERR) {
        // A pending socket error would stay flagged (and fail every read) until taken.
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    }
    bool more = (events & POLLIN) != 0;
    while (more) {
        EchoAnswer answer = readPacket(fd, isDatagram, probe, more);
        if (answer.kind != kNotOurs) return answer;
    }
    return EchoAnswer{kNotOurs, 0, 0, 0};
}

}  // namespace

IcmpPinger::IcmpPinger()
    : socketFd(-1), isDatagram(0), identifier(0), sequence(randomBits()), openError(0) {
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
    if (socketFd < 0 || ttl == 0) return 0;
    if (setsockopt(socketFd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) != 0) return 0;

    const uint32_t sizeBits = static_cast<uint32_t>(size);
    const size_t dataSize = sizeBits <= static_cast<uint32_t>(kEchoDataMax) ? sizeBits : kEchoDataMax;
    ++sequence;
    uint8_t request[kRequestCapacity];
    const size_t length = buildEchoRequest(request, sizeof request, identifier, sequence, dataSize);
    const EchoProbe probe{destination, identifier, sequence};

    // Whatever is still queued answers earlier requests; it must not be taken for this one.
    drainQueues(socketFd, isDatagram != 0, POLLIN | POLLERR, EchoProbe{0, 0, 0});

    sockaddr_in where = socketAddress(destination);
    const int64_t startMs = monotonicMs();
    if (sendto(socketFd, request, length, 0, reinterpret_cast<sockaddr*>(&where), sizeof where) !=
        static_cast<ssize_t>(length)) {
        return 0;
    }
    const int64_t deadlineMs = startMs + (timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        const int64_t nowMs = monotonicMs();
        const int64_t leftMs = deadlineMs > nowMs ? deadlineMs - nowMs : 0;
        pollfd waiting{socketFd, POLLIN, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(leftMs));
        if (ready < 0 && errno != EINTR) return 0;
        if (ready > 0) {
            const EchoAnswer answer = drainQueues(socketFd, isDatagram != 0, waiting.revents, probe);
            if (answer.kind != kNotOurs) {
                const int64_t elapsedMs = monotonicMs() - startMs;
                result.replyAddress = answer.source;
                result.status = static_cast<uint32_t>(answer.type) << 8 | answer.code;
                result.roundTripMs = static_cast<int32_t>(elapsedMs);
                return 1;
            }
        }
        // The last look after the deadline has been taken: a stream of foreign packets
        // cannot keep the call waiting longer than its timeout.
        if (leftMs == 0) return 0;
    }
}
