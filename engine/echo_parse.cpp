// Echo request building and answer matching: every length is checked before a byte is
// read, and an answer counts only when it names this probe's destination, identifier
// and sequence, so late, foreign and forged packets are never taken for ours.
#include "echo_parse.h"

#include <cstring>

#include "icmp_pinger.h"

namespace {

uint16_t readBig16(const uint8_t* bytes) {
    return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

// Addresses stay in network byte order: the four bytes are copied as they are.
uint32_t readAddress(const uint8_t* bytes) {
    uint32_t address;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}

// Length of a well-formed IPv4 header carrying ICMP at the start of `packet`, or 0.
size_t icmpIpHeaderLength(const uint8_t* packet, size_t length) {
    if (length < kIpHeaderMin) return 0;
    if ((packet[0] >> 4) != 4) return 0;
    const size_t headerLength = static_cast<size_t>(packet[0] & 0x0F) * 4;
    if (headerLength < kIpHeaderMin || headerLength > length) return 0;
    if (packet[9] != 1) return 0;  // protocol: ICMP
    return headerLength;
}

// True when `icmp` is the echo request of `probe` (as quoted in an error report).
bool isOurRequest(const uint8_t* icmp, size_t length, const EchoProbe& probe) {
    if (length < kIcmpHeaderSize) return false;
    return icmp[0] == kIcmpEchoRequest && readBig16(icmp + 4) == probe.identifier &&
           readBig16(icmp + 6) == probe.sequence;
}

bool isOurReply(const uint8_t* icmp, size_t length, uint32_t source, const EchoProbe& probe) {
    if (length < kIcmpHeaderSize) return false;
    return icmp[0] == kIcmpEchoReply && icmp[1] == 0 && source == probe.destination &&
           readBig16(icmp + 4) == probe.identifier && readBig16(icmp + 6) == probe.sequence;
}

// An error report's body: the quoted IP header of our request (its real length, options
// included), then at least the first 8 bytes of our ICMP request.
bool quotesOurRequest(const uint8_t* body, size_t length, const EchoProbe& probe) {
    const size_t headerLength = icmpIpHeaderLength(body, length);
    if (headerLength == 0) return false;
    if (readAddress(body + 16) != probe.destination) return false;
    return isOurRequest(body + headerLength, length - headerLength, probe);
}

EchoAnswer parseIcmp(const uint8_t* icmp, size_t length, uint32_t source, const EchoProbe& probe) {
    if (length < kIcmpHeaderSize) return kNotOursAnswer;
    const uint8_t type = icmp[0];
    if (isOurReply(icmp, length, source, probe)) {
        return EchoAnswer{kEchoReply, source, type, icmp[1]};
    }
    if (isReportType(type) &&
        quotesOurRequest(icmp + kIcmpHeaderSize, length - kIcmpHeaderSize, probe)) {
        return EchoAnswer{kIcmpError, source, type, icmp[1]};
    }
    return kNotOursAnswer;
}

}  // namespace

bool isReportType(uint8_t type) {
    return type == kIcmpUnreachable || type == kIcmpSourceQuench || type == kIcmpTimeExceeded ||
           type == kIcmpParameterProblem;
}

uint16_t internetChecksum(const uint8_t* bytes, size_t length) {
    uint32_t sum = 0;
    size_t i = 0;
    for (; i + 1 < length; i += 2) sum += readBig16(bytes + i);
    if (i < length) sum += static_cast<uint32_t>(bytes[i]) << 8;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum & 0xFFFF);
}

size_t buildEchoRequest(uint8_t* out, size_t capacity, uint16_t identifier, uint16_t sequence,
                        size_t dataSize) {
    if (out == nullptr || capacity < kIcmpHeaderSize) return 0;
    if (dataSize > capacity - kIcmpHeaderSize) dataSize = capacity - kIcmpHeaderSize;
    const size_t length = kIcmpHeaderSize + dataSize;
    out[0] = kIcmpEchoRequest;
    out[1] = 0;
    out[2] = out[3] = 0;
    out[4] = static_cast<uint8_t>(identifier >> 8);
    out[5] = static_cast<uint8_t>(identifier);
    out[6] = static_cast<uint8_t>(sequence >> 8);
    out[7] = static_cast<uint8_t>(sequence);
    std::memset(out + kIcmpHeaderSize, kEchoFill, dataSize);
    const uint16_t checksum = internetChecksum(out, length);
    out[2] = static_cast<uint8_t>(checksum >> 8);
    out[3] = static_cast<uint8_t>(checksum);
    return length;
}

EchoAnswer parseRawPacket(const uint8_t* packet, size_t length, const EchoProbe& probe) {
    if (packet == nullptr) return kNotOursAnswer;
    const size_t headerLength = icmpIpHeaderLength(packet, length);
    if (headerLength == 0) return kNotOursAnswer;
    // Bytes past the datagram's own total length are padding, not ICMP.
    const size_t totalLength = readBig16(packet + 2);
    if (totalLength >= headerLength && totalLength < length) length = totalLength;
    return parseIcmp(packet + headerLength, length - headerLength, readAddress(packet + 12),
                     probe);
}

EchoAnswer parseDatagramMessage(const uint8_t* message, size_t length, uint32_t from,
                                const EchoProbe& probe) {
    if (message == nullptr) return kNotOursAnswer;
    if (!isOurReply(message, length, from, probe)) return kNotOursAnswer;
    return EchoAnswer{kEchoReply, from, message[0], message[1]};
}

EchoAnswer parseQueuedError(const uint8_t* quoted, size_t length, uint32_t originalDestination,
                            uint32_t offender, uint8_t type, uint8_t code, const EchoProbe& probe) {
    if (quoted == nullptr || !isReportType(type)) return kNotOursAnswer;
    if (originalDestination != probe.destination) return kNotOursAnswer;
    if (!isOurRequest(quoted, length, probe)) return kNotOursAnswer;
    return EchoAnswer{kIcmpError, offender, type, code};
}
