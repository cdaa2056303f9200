// Echo request building and answer matching, on hand-made packets: only this probe's
// own reply or a report quoting this probe's own request may ever count.
#include "engine/echo_parse.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kClient[4] = {10, 71, 1, 2};
constexpr uint8_t kTarget[4] = {10, 71, 4, 2};
constexpr uint8_t kRouter[4] = {10, 71, 3, 2};
constexpr uint8_t kStranger[4] = {10, 71, 4, 99};

uint32_t address(const uint8_t (&bytes)[4]) {
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

const EchoProbe kProbe{address(kTarget), 0x1234, 0x0042};

void put16(Bytes& out, size_t at, uint16_t value) {
    out[at] = static_cast<uint8_t>(value >> 8);
    out[at + 1] = static_cast<uint8_t>(value);
}

Bytes icmpMessage(uint8_t type, uint16_t identifier, uint16_t sequence, size_t dataSize) {
    Bytes message(kIcmpHeaderSize + dataSize, 0xBE);
    message[0] = type;
    message[1] = 0;
    put16(message, 4, identifier);
    put16(message, 6, sequence);
    return message;
}

// An IPv4 header with `optionWords` 4-byte words of options (NOPs) and `payload`.
Bytes ipPacket(const uint8_t (&source)[4], const uint8_t (&destination)[4], const Bytes& payload,
               int optionWords = 0) {
    const size_t headerLength = 20 + 4 * optionWords;
    Bytes packet(headerLength, 0x01);
    packet[0] = static_cast<uint8_t>(0x40 | (headerLength / 4));
    packet[1] = 0;
    put16(packet, 2, static_cast<uint16_t>(headerLength + payload.size()));
    for (int i = 4; i < 20; ++i) packet[i] = 0;
    packet[8] = 1;
    packet[9] = 1;  // ICMP
    std::memcpy(&packet[12], source, 4);
    std::memcpy(&packet[16], destination, 4);
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

Bytes ourReply() { return ipPacket(kTarget, kClient, icmpMessage(kIcmpEchoReply, 0x1234, 0x0042, 8)); }

// A router's report quoting `quoted` (an IP packet as it left the client).
Bytes report(uint8_t type, const Bytes& quoted, int outerOptionWords = 0) {
    Bytes message(kIcmpHeaderSize, 0);
    message[0] = type;
    message.insert(message.end(), quoted.begin(), quoted.end());
    return ipPacket(kRouter, kClient, message, outerOptionWords);
}

Bytes ourRequestAsSent(int optionWords = 0) {
    return ipPacket(kClient, kTarget, icmpMessage(kIcmpEchoRequest, 0x1234, 0x0042, 8), optionWords);
}

// The first `length` bytes of `packet` as a raw socket would read them.
int rawKind(const Bytes& packet, size_t length = SIZE_MAX) {
    return parseRawPacket(packet.data(), std::min(length, packet.size()), kProbe).kind;
}

// An answer's kind, source and type as one row, so a failure shows them side by side.
using Row = std::vector<int64_t>;
Row fieldsOf(const EchoAnswer& a) { return {a.kind, a.source, a.type}; }
Row rawAnswer(const Bytes& packet) { return fieldsOf(parseRawPacket(packet.data(), packet.size(), kProbe)); }

// `packet` with the byte at `at` set to `value`.
Bytes withByte(Bytes packet, size_t at, uint8_t value) {
    packet[at] = value;
    return packet;
}

// `packet` cut, or padded with zeros, to `length` bytes.
Bytes resized(Bytes packet, size_t length) { packet.resize(length, 0); return packet; }

TEST(EchoRequest, HeaderDataAndChecksum) {
    uint8_t out[kIcmpHeaderSize + 64];
    const size_t length = buildEchoRequest(out, sizeof out, 0xABCD, 0x0102, 5);
    ASSERT_EQ(kIcmpHeaderSize + 5, length);
    // type, code, then identifier and sequence (the checksum between them is summed below)
    EXPECT_EQ((Bytes{kIcmpEchoRequest, 0, 0xAB, 0xCD, 0x01, 0x02}),
              (Bytes{out[0], out[1], out[4], out[5], out[6], out[7]}));
    for (size_t i = kIcmpHeaderSize; i < length; ++i) EXPECT_EQ(0xBE, out[i]) << i;
    // A message with a correct checksum sums to zero (odd length included).
    EXPECT_EQ(0, internetChecksum(out, length));
}

TEST(EchoRequest, DataCutToTheBufferAndNoRoomForAHeader) {
    uint8_t out[16];
    std::memset(out, 0x55, sizeof out);
    EXPECT_EQ(sizeof out, buildEchoRequest(out, sizeof out, 1, 1, 2048));
    EXPECT_EQ(0xBE, out[15]);
    EXPECT_EQ(0u, buildEchoRequest(out, 7, 1, 1, 0));
    EXPECT_EQ(0u, buildEchoRequest(nullptr, 64, 1, 1, 0));
    EXPECT_EQ(kIcmpHeaderSize, buildEchoRequest(out, sizeof out, 1, 1, 0));
}

TEST(EchoRequest, ChecksumOfAKnownSequence) {
    // The sum of these words is 0xDDF2 (folded), so the checksum is its complement.
    const uint8_t words[] = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    EXPECT_EQ(0x220D, internetChecksum(words, sizeof words));
    const uint8_t odd[] = {0x12, 0x34, 0x56};  // the last byte counts as 0x5600
    EXPECT_EQ(static_cast<uint16_t>(~(0x1234 + 0x5600)), internetChecksum(odd, sizeof odd));
}

TEST(RawAnswer, OwnEchoReplyFromTheDestination) {
    EXPECT_EQ(rawAnswer(ourReply()), (Row{kEchoReply, address(kTarget), kIcmpEchoReply}));
    // Options in the outer header move the ICMP part; it must still be found.
    EXPECT_EQ(kEchoReply, rawKind(ipPacket(kTarget, kClient, icmpMessage(0, 0x1234, 0x0042, 8), 10)));
}

TEST(RawAnswer, RepliesThatAreNotThisProbes) {
    EXPECT_EQ(kNotOurs, rawKind(ipPacket(kStranger, kClient, icmpMessage(0, 0x1234, 0x0042, 8))));
    EXPECT_EQ(kNotOurs, rawKind(ipPacket(kTarget, kClient, icmpMessage(0, 0x1235, 0x0042, 8))));
    EXPECT_EQ(kNotOurs, rawKind(ipPacket(kTarget, kClient, icmpMessage(0, 0x1234, 0x0041, 8))));
    // Our own request, as a raw socket sees it when the destination is local.
    EXPECT_EQ(kNotOurs, rawKind(ipPacket(kClient, kTarget, icmpMessage(8, 0x1234, 0x0042, 8))));
}

TEST(RawAnswer, EveryCriticalByteChangedIsRejected) {
    const Bytes good = ourReply();
    // version/length, protocol, source address, ICMP type, code, identifier, sequence
    const size_t critical[] = {0, 9, 12, 13, 14, 15, 20, 21, 24, 25, 26, 27};
    for (size_t at : critical) EXPECT_EQ(kNotOurs, rawKind(withByte(good, at, good[at] ^ 0x10))) << "byte " << at;
}

TEST(RawAnswer, TruncatedOrMalformedHeaders) {
    const Bytes good = ourReply();
    for (size_t length = 0; length < 28; ++length) EXPECT_EQ(kNotOurs, rawKind(good, length)) << length;
    EXPECT_EQ(kNotOurs, parseRawPacket(nullptr, 100, kProbe).kind);
    EXPECT_EQ(kNotOurs, rawKind(withByte(good, 0, 0x44)));  // header length below 20 bytes
    EXPECT_EQ(kNotOurs, rawKind(withByte(good, 0, 0x4F)));  // 60-byte header in a 36-byte packet
    // A total length (bytes 2 and 3: 36) cut to 24, into the ICMP header: no complete answer.
    EXPECT_EQ(kNotOurs, rawKind(withByte(good, 3, 24)));
    // Trailing padding beyond the total length is ignored.
    EXPECT_EQ(kEchoReply, rawKind(resized(good, good.size() + 30)));
}

TEST(RawAnswer, ReportsQuotingThisProbesRequest) {
    for (uint8_t type : {kIcmpTimeExceeded, kIcmpUnreachable, kIcmpParameterProblem, kIcmpSourceQuench}) {
        EXPECT_EQ(rawAnswer(report(type, ourRequestAsSent())), (Row{kIcmpError, address(kRouter), type}));
    }
    // Options in the quoted header and in the outer one: the real lengths are used.
    EXPECT_EQ(kIcmpError, rawKind(report(kIcmpTimeExceeded, ourRequestAsSent(3), 2)));
    // Routers quote only 8 bytes of the ICMP part: that is enough.
    EXPECT_EQ(kIcmpError, rawKind(report(kIcmpTimeExceeded, resized(ourRequestAsSent(), 28))));
}

TEST(RawAnswer, ReportsQuotingSomethingElse) {
    auto quoting = [](const uint8_t(&to)[4], uint8_t type, uint16_t identifier, uint16_t sequence) {
        return rawKind(report(kIcmpTimeExceeded, ipPacket(kClient, to, icmpMessage(type, identifier, sequence, 8))));
    };
    EXPECT_EQ(kNotOurs, quoting(kTarget, 8, 0x9999, 0x0042));
    EXPECT_EQ(kNotOurs, quoting(kTarget, 8, 0x1234, 0x0043));
    EXPECT_EQ(kNotOurs, quoting(kStranger, 8, 0x1234, 0x0042));
    EXPECT_EQ(kNotOurs, quoting(kTarget, 0, 0x1234, 0x0042));  // a quoted echo reply is not our request
    // A redirect or an echo request carrying our request is no report.
    EXPECT_EQ(kNotOurs, rawKind(report(5, ourRequestAsSent())));
    EXPECT_EQ(kNotOurs, rawKind(report(kIcmpEchoRequest, ourRequestAsSent())));
    // The quoted header claims options that the report does not carry; not ICMP inside.
    EXPECT_EQ(kNotOurs, rawKind(report(kIcmpTimeExceeded, withByte(ourRequestAsSent(), 0, 0x46))));
    EXPECT_EQ(kNotOurs, rawKind(report(kIcmpTimeExceeded, withByte(ourRequestAsSent(), 9, 17))));
    // Cut anywhere before the quoted identifier and sequence are complete.
    const Bytes full = report(kIcmpTimeExceeded, ourRequestAsSent(1));
    for (size_t length = 0; length < 20 + 8 + 24 + 8; ++length) EXPECT_EQ(kNotOurs, rawKind(full, length)) << length;
}

TEST(RawAnswer, ArbitraryBytesNeverCount) {
    uint32_t seed = 12345;
    uint8_t packet[256];
    for (int round = 0; round < 200000; ++round) {
        for (uint8_t& byte : packet) {
            seed = seed * 1103515245u + 12345u;
            byte = static_cast<uint8_t>(seed >> 16);
        }
        // Keep the headers plausible half of the time, so the deeper checks get reached.
        if (round & 1) {
            packet[0] = 0x45;
            packet[9] = 1;
            packet[28] = 0x45;
            packet[37] = 1;
        }
        const size_t length = (seed >> 8) % sizeof packet;
        EXPECT_EQ(kNotOurs, parseRawPacket(packet, length, kProbe).kind);
    }
}

TEST(DatagramAnswer, OnlyThisProbesReplyFromTheDestination) {
    auto parse = [](const Bytes& message, const uint8_t(&from)[4], size_t cut = SIZE_MAX) {
        return parseDatagramMessage(message.data(), std::min(cut, message.size()), address(from), kProbe);
    };
    const Bytes reply = icmpMessage(kIcmpEchoReply, 0x1234, 0x0042, 8);
    EXPECT_EQ(fieldsOf(parse(reply, kTarget)), (Row{kEchoReply, address(kTarget), kIcmpEchoReply}));
    EXPECT_EQ(kNotOurs, parse(reply, kStranger).kind);
    EXPECT_EQ(kNotOurs, parse(icmpMessage(kIcmpEchoReply, 0x1234, 0x0041, 8), kTarget).kind);  // late
    EXPECT_EQ(kNotOurs, parse(icmpMessage(kIcmpEchoRequest, 0x1234, 0x0042, 8), kTarget).kind);
    EXPECT_EQ(kNotOurs, parse(reply, kTarget, 7).kind);
    EXPECT_EQ(kNotOurs, parseDatagramMessage(nullptr, 64, address(kTarget), kProbe).kind);
}

TEST(QueuedError, QuotedRequestDestinationAndType) {
    const Bytes request = icmpMessage(kIcmpEchoRequest, 0x1234, 0x0042, 8);
    // The quoted message (cut to `length`), where it was sent, and the report's type and code.
    auto parse = [&request](const uint8_t(&to)[4], uint8_t type, uint8_t code = 0, size_t length = SIZE_MAX,
                            const Bytes* quoted = nullptr) {
        const Bytes& message = quoted != nullptr ? *quoted : request;
        return parseQueuedError(message.data(), std::min(length, message.size()), address(to), address(kRouter), type, code, kProbe);
    };
    EXPECT_EQ(fieldsOf(parse(kTarget, kIcmpTimeExceeded)), (Row{kIcmpError, address(kRouter), kIcmpTimeExceeded}));
    // An earlier probe's report (the kernel matched the identifier, not the sequence).
    const Bytes earlier = icmpMessage(kIcmpEchoRequest, 0x1234, 0x0041, 8);
    EXPECT_EQ(kNotOurs, parse(kTarget, kIcmpTimeExceeded, 0, SIZE_MAX, &earlier).kind);
    EXPECT_EQ(kNotOurs, parse(kStranger, kIcmpTimeExceeded).kind);
    EXPECT_EQ(kNotOurs, parse(kTarget, 5).kind);
    EXPECT_EQ(kNotOurs, parse(kTarget, kIcmpTimeExceeded, 0, 7).kind);
    EXPECT_EQ(kIcmpError, parse(kTarget, kIcmpUnreachable, 1).kind);
}

}  // namespace
