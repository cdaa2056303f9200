// Building ICMP echo requests and deciding whether a received packet answers one of
// them. Pure byte work with no platform header, so every rule can be tested and fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>

// The probe an answer must belong to. Addresses are in network byte order; identifier
// and sequence are the values as read from the wire (big-endian), in host order.
struct EchoProbe {
    uint32_t destination;
    uint16_t identifier;
    uint16_t sequence;
};

// What a packet turned out to be, from the probe's point of view.
enum EchoAnswerKind {
    kNotOurs = 0,     // anything else: foreign, late, forged, truncated or malformed
    kEchoReply = 1,   // the destination's echo reply to this very request
    kIcmpError = 2,   // a router's report (time exceeded, unreachable, ...) quoting it
};

struct EchoAnswer {
    int kind;          // EchoAnswerKind
    uint32_t source;   // network byte order: who answered
    uint8_t type;      // ICMP type and code of the answer
    uint8_t code;
};

// Everything that is not the probe's answer.
constexpr EchoAnswer kNotOursAnswer{kNotOurs, 0, 0, 0};

constexpr size_t kIcmpHeaderSize = 8;
constexpr size_t kIpHeaderMin = 20;

// ICMP types this program deals with.
constexpr uint8_t kIcmpEchoReply = 0;
constexpr uint8_t kIcmpUnreachable = 3;
constexpr uint8_t kIcmpSourceQuench = 4;
constexpr uint8_t kIcmpEchoRequest = 8;
constexpr uint8_t kIcmpTimeExceeded = 11;
constexpr uint8_t kIcmpParameterProblem = 12;

// True for the ICMP error types that count as an answer when they quote our request.
bool isReportType(uint8_t type);

// The Internet checksum (ones' complement sum) of `length` bytes.
uint16_t internetChecksum(const uint8_t* bytes, size_t length);

// Writes an echo request (header, checksum, `dataSize` bytes of kEchoFill) into `out`.
// `dataSize` is cut so the message fits `capacity`; returns the message length, or 0
// when not even the header fits.
size_t buildEchoRequest(uint8_t* out, size_t capacity, uint16_t identifier, uint16_t sequence,
                        size_t dataSize);

// A packet read from a raw ICMP socket: IP header (with any options) then ICMP.
EchoAnswer parseRawPacket(const uint8_t* packet, size_t length, const EchoProbe& probe);

// A message read from an ICMP datagram socket: the ICMP message without IP header,
// `from` the sender the socket reported.
EchoAnswer parseDatagramMessage(const uint8_t* message, size_t length, uint32_t from,
                                const EchoProbe& probe);

// An entry of a datagram socket's error queue: `quoted` is the start of our request as
// the router quoted it, `originalDestination` the destination of that quoted request and
// `offender` the router that reported, `type`/`code` its report.
EchoAnswer parseQueuedError(const uint8_t* quoted, size_t length, uint32_t originalDestination,
                            uint32_t offender, uint8_t type, uint8_t code, const EchoProbe& probe);
