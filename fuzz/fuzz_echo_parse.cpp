// Fuzzes the ICMP answer parsing: any bytes as an answer (truncated packets, IP options,
// errors quoting someone else's probe) must never crash and never count a foreign answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/echo_parse.h"

namespace {

// True when the identifier and sequence of `probe` appear as an echo request header
// (type 8) or reply header (type 0) somewhere in `bytes`.
bool mentionsProbe(const uint8_t* bytes, size_t length, const EchoProbe& probe, uint8_t type) {
    for (size_t i = 0; i + 8 <= length; ++i) {
        if (bytes[i] == type && bytes[i + 4] == (probe.identifier >> 8) &&
            bytes[i + 5] == (probe.identifier & 0xFF) && bytes[i + 6] == (probe.sequence >> 8) &&
            bytes[i + 7] == (probe.sequence & 0xFF)) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 14) return 0;
    EchoProbe probe;
    std::memcpy(&probe.destination, data, 4);
    probe.identifier = static_cast<uint16_t>(data[4] << 8 | data[5]);
    probe.sequence = static_cast<uint16_t>(data[6] << 8 | data[7]);
    uint32_t other;
    std::memcpy(&other, data + 8, 4);
    const uint8_t type = data[12];
    const uint8_t code = data[13];
    // Copy into an exactly sized block so that any read past the packet is caught.
    std::vector<uint8_t> packet(data + 14, data + size);
    const uint8_t* bytes = packet.empty() ? nullptr : packet.data();
    const size_t length = packet.size();

    EchoAnswer raw = parseRawPacket(bytes, length, probe);
    if (raw.kind == kEchoReply) {
        if (raw.source != probe.destination || !mentionsProbe(bytes, length, probe, kIcmpEchoReply)) std::abort();
    } else if (raw.kind == kIcmpError) {
        if (!isReportType(raw.type) || !mentionsProbe(bytes, length, probe, kIcmpEchoRequest)) std::abort();
        std::memcpy(&other, bytes + 12, 4);
        if (raw.source != other) std::abort();
    } else if (raw.kind != kNotOurs) {
        std::abort();
    }

    EchoAnswer message = parseDatagramMessage(bytes, length, other, probe);
    if (message.kind == kEchoReply && (other != probe.destination || length < 8)) std::abort();
    if (message.kind == kIcmpError) std::abort();

    EchoAnswer queued = parseQueuedError(bytes, length, other, probe.destination ^ 1, type, code, probe);
    if (queued.kind != kNotOurs) {
        if (other != probe.destination || !isReportType(type) ||
            !mentionsProbe(bytes, length < 8 ? length : 8, probe, kIcmpEchoRequest)) {
            std::abort();
        }
    }

    uint8_t request[kIcmpHeaderSize + 64];
    size_t built = buildEchoRequest(request, sizeof request, probe.identifier, probe.sequence, code);
    if (built != kIcmpHeaderSize + (code < 64 ? code : 64)) std::abort();
    if (internetChecksum(request, built) != 0) std::abort();
    return 0;
}
