// The engine's only door to the network: one ICMP echo with a chosen time-to-live,
// forward and reverse name resolution, dotted-quad formatting. Which implementation
// file is linked (Win32 ICMP.DLL, Linux ICMP sockets, or a scripted test service)
// decides the platform; this header includes no platform header.
#pragma once

#include <cstdint>

// Outcome of one successful echo.
struct EchoResult {
    uint32_t replyAddress;  // network byte order: the destination or a router on the way
    uint32_t status;        // the platform's status code of that answer; informational only
    int32_t roundTripMs;
};

constexpr int kAddressTextSize = 20;  // "255.255.255.255" and its zero
constexpr int kHostNameSize = 256;    // at most 255 characters and a zero
constexpr int kEchoDataMax = 2048;    // data bytes of one echo request at most
constexpr unsigned char kEchoFill = 0xBE;

// Data bytes that an echo of `size` sends. Compared unsigned: a negative size is a huge
// one and gets the full kEchoDataMax bytes.
inline uint32_t echoDataSize(int32_t size) {
    const uint32_t bits = static_cast<uint32_t>(size);
    return bits <= static_cast<uint32_t>(kEchoDataMax) ? bits : kEchoDataMax;
}

struct IcmpPinger {
    IcmpPinger();
    ~IcmpPinger();
    IcmpPinger(const IcmpPinger&) = delete;
    IcmpPinger& operator=(const IcmpPinger&) = delete;

    // A dotted quad or a host name; 0 when it does not resolve.
    uint32_t resolve(const char* text);
    // The host's name, cut to 255 characters, control bytes and bytes above 0x7F
    // replaced; the empty text when there is none.
    void reverseLookup(char (&hostName)[kHostNameSize], uint32_t address);
    void formatAddress(char (&addressText)[kAddressTextSize], uint32_t address);
    // One echo request; 1 with `result` filled when anything answered it in time, else 0.
    // `timeToLive` is sent as its low 8 bits, `size` compared unsigned and capped at 2048.
    int echo(uint32_t destination, int32_t timeToLive, int32_t size, int32_t timeoutMs,
             EchoResult& result);

#if defined(_WIN32)
    // ICMP.DLL, bound by name at run time; all null when the library is missing.
    void* library;
    void* icmpHandle;
    void* icmpCreateFile;
    void* icmpCloseHandle;
    void* icmpSendEcho;
    // Set only by a program whose echoes an outside event may end early (the console
    // runner, on an interrupt); null from construction, and echoes then go through
    // IcmpSendEcho alone. With `wakeEvent` set, echoes go through IcmpSendEcho2, which
    // signals `answerEvent`, and their wait also ends once `wakeEvent` is set.
    void* icmpSendEcho2;
    void* icmpParseReplies;
    void* answerEvent;
    void* wakeEvent;
#else
    int socketFd;          // -1 when no ICMP socket could be opened
    int isDatagram;        // 1: unprivileged ICMP datagram socket, 0: raw socket
    uint16_t identifier;   // echo identifier as it appears on the wire
    uint16_t sequence;     // sequence of the latest request sent
    int openError;         // errno of the raw socket's refusal when no socket opened
    // What the socket is set to, so that a steady run of echoes sets nothing again.
    int timeToLiveSet;     // 0 before the first echo
    int32_t receiveWaitMs; // the socket's receive timeout; 0: none (a read would wait for
                           // ever), -1: unknown (setting it failed)
    int staleMayWait;      // 1 when an earlier echo's answer or a foreign packet may be queued
    // Set only by a program whose echoes an outside event may end early (the console
    // runner, on an interrupt): a descriptor that turns readable then. -1 from
    // construction, and the wait for an answer watches nothing else.
    int wakeFd;
#endif
    // 1 once an echo's wait was ended by the wake event or descriptor: that echo and every
    // later one return 0 at once, and the echo counts as never made.
    int cutShort;
};
