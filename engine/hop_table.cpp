// The two-phase trace engine: discovery by rising time-to-live, then monitoring in rotation.
#include "hop_table.h"

#include <cstring>

#include "text/bounded_text.h"

namespace {

constexpr int kTriesPerHop = 3;

int32_t clampInt(int32_t value, int32_t low, int32_t high) {
    return value < low ? low : (value > high ? high : value);
}

}  // namespace

HopTable::HopTable()
    : hopCount(0),
      target(0),
      pingCursor(0),
      timeoutMs(kInitialTimeoutMs),
      packetSize(kInitialPacketSize),
      maxHops(kInitialMaxHops),
      reverseDns(kInitialReverseDns) {
    std::memset(records, 0, sizeof records);
}

void HopTable::configure(int32_t newMaxHops, int32_t newPacketSize, int32_t newTimeoutMs,
                         int32_t newReverseDns) {
    maxHops = newMaxHops;
    packetSize = static_cast<uint32_t>(newPacketSize);
    timeoutMs = newTimeoutMs;
    reverseDns = newReverseDns;
}

void HopTable::start(const char* host) {
    target = pinger.resolve(host);
    pingCursor = 0;
    hopCount = 0;
}

void HopTable::stop() { target = 0; }

bool HopTable::isRunning() const { return target != 0; }

int32_t HopTable::traceLimit() const { return maxHops < kMaxTimeToLive ? maxHops : kMaxTimeToLive; }

int32_t HopTable::monitorTimeToLive() const { return clampInt(maxHops, 1, kMaxTimeToLive); }

int32_t HopTable::effectiveTimeoutMs() const { return clampInt(timeoutMs, 1, kMaxTimeoutMs); }

bool HopTable::traceComplete() const {
    if (hopCount > 0 && records[hopCount - 1].address == target) return true;
    if (hopCount >= traceLimit()) return true;
    if (hopCount < kSilentTailMinHops) return false;
    int silent = 0;
    for (int i = hopCount - 1; i >= 0 && records[i].address == 0; --i) ++silent;
    return silent >= kSilentTailLength;
}

void HopTable::step() {
    if (target == 0) return;
    if (traceComplete()) {
        monitorStep();
    } else {
        traceStep();
    }
}

void HopTable::traceStep() {
    HopRecord& record = records[hopCount];
    const int32_t timeToLive = hopCount + 1;
    EchoResult reply{};
    bool answered = false;
    for (int attempt = 0; attempt < kTriesPerHop && !answered; ++attempt) {
        answered = pinger.echo(target, timeToLive, static_cast<int32_t>(packetSize),
                               effectiveTimeoutMs(), reply) != 0;
    }
    if (answered) {
        writeAnsweredHop(record, reply);
    } else {
        std::memset(&record, 0, sizeof record);
        record.excluded = 1;
        copyBounded(record.addressText, "0.0.0.0");
    }
    record.changed = 1;
    ++hopCount;
}

// A hop found by its first answer: that answer is its first echo sent and received.
void HopTable::writeAnsweredHop(HopRecord& record, const EchoResult& reply) {
    record.address = reply.replyAddress;
    record.received = 1;
    record.sent = 1;
    record.lastMs = reply.roundTripMs;
    record.bestMs = reply.roundTripMs;
    record.worstMs = reply.roundTripMs;
    record.totalMs = reply.roundTripMs;
    record.excluded = 0;
    pinger.formatAddress(record.addressText, reply.replyAddress);
    if (reverseDns != 0) {
        pinger.reverseLookup(record.hostName, reply.replyAddress);
    } else {
        record.hostName[0] = '\0';
    }
}

void HopTable::rewriteRoute(int32_t index, const EchoResult& reply) {
    if (index < 0 || index >= hopCount || index >= kMaxRecords) return;
    HopRecord& record = records[index];
    writeAnsweredHop(record, reply);
    record.changed = 1;
    if (reply.replyAddress == target && target != 0) hopCount = index + 1;
}

void HopTable::monitorStep() {
    if (pingCursor >= hopCount || pingCursor < 0) pingCursor = 0;
    if (hopCount > 0) {
        HopRecord& record = records[pingCursor];
        if (record.excluded == 0 && record.address != 0) {
            record.changed = 1;
            ++record.sent;
            EchoResult reply{};
            if (pinger.echo(record.address, monitorTimeToLive(), static_cast<int32_t>(packetSize),
                            effectiveTimeoutMs(), reply) != 0) {
                ++record.received;
                record.lastMs = reply.roundTripMs;
                record.totalMs += reply.roundTripMs;
                if (reply.roundTripMs < record.bestMs) record.bestMs = reply.roundTripMs;
                if (reply.roundTripMs > record.worstMs) record.worstMs = reply.roundTripMs;
            }
        }
    }
    ++pingCursor;
}
