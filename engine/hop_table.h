// The trace engine: a fixed table of up to 256 hops and the two-phase algorithm that
// fills it. The trace phase discovers the route one time-to-live at a time; the monitor
// phase then pings the discovered hops in rotation and keeps running statistics.
// The phase is never stored: every step works it out afresh from the table.
#pragma once

#include <cstdint>

#include "icmp_pinger.h"

constexpr int kMaxRecords = 256;
// The silent tail ends discovery only once this many hops have been probed, so that a
// route whose first routers stay quiet is not given up on too early; then this many
// silent hops at the end of the probed ones end it.
constexpr int kSilentTailMinHops = 6;
constexpr int kSilentTailLength = 3;
// Highest time-to-live an IPv4 header can carry; also the furthest hop a trace can probe.
constexpr int kMaxTimeToLive = 255;

struct HopRecord {
    int32_t changed;    // 1 = written since its row was last drawn
    int32_t excluded;   // nonzero = the monitor phase sends nothing to this hop
    uint32_t address;   // network byte order; 0 = the hop never answered
    char addressText[kAddressTextSize];
    char hostName[kHostNameSize];
    // Counters are 64-bit: the monitor phase can answer thousands of echoes a second,
    // and 32-bit counts (and received * 100) would wrap within days of running.
    int64_t sent;
    int64_t received;
    int32_t lastMs;
    int64_t totalMs;
    int32_t bestMs;
    int32_t worstMs;
};

// Figures derived from a record, in truncating integer arithmetic.
// Average: totalMs / received, when received > 0. Loss: 100 - received * 100 / sent,
// when sent > 0. Both return 0 when their divisor is not above 0.
inline int64_t averageMs(const HopRecord& record) {
    return record.received > 0 ? record.totalMs / record.received : 0;
}
inline int64_t lossPercent(const HopRecord& record) {
    if (record.sent <= 0) return 0;
    // The engine never counts more answers than echoes; holding `received` within
    // 0..sent keeps a damaged record's figure within 0..100% too, without overflow.
    const int64_t received = record.received < 0 ? 0 : (record.received > record.sent ? record.sent : record.received);
    if (received <= INT64_MAX / 100) return 100 - received * 100 / record.sent;
    return 100 - static_cast<int64_t>(static_cast<long double>(received) * 100 / record.sent);
}

struct HopTable {
    HopTable();
    ~HopTable() = default;
    HopTable(const HopTable&) = delete;
    HopTable& operator=(const HopTable&) = delete;

    void configure(int32_t maxHops, int32_t packetSize, int32_t timeoutMs, int32_t reverseDns);
    void start(const char* host);
    void stop();
    bool isRunning() const;
    void step();
    // True when the next step would be a monitor-phase step: the target answered the
    // latest probe, the hop limit is reached, or (from six probed hops on) the last
    // three or more probed hops were silent. Worked out afresh from the table each time.
    bool traceComplete() const;

    // Limits the engine applies to whatever configure stored, so that a hand-edited
    // settings file can neither overrun the table nor stall the program.
    int32_t traceLimit() const;         // hop limit of the trace phase: maxHops, at most 255
    int32_t monitorTimeToLive() const;  // maxHops held within 1..255
    int32_t effectiveTimeoutMs() const; // timeoutMs held within 1..kMaxTimeoutMs

    // After a confirmed route change (route/): record `index` is written as discovery
    // writes a hop that answered with `reply` (the new router's address and name,
    // counters afresh from that answer, included in the monitor phase). When the new
    // router is the target itself, the route now ends there and the hops after it go.
    // When the last hop was the target and is now a router, the next step resumes
    // discovery after it, as the phase is worked out afresh. Only rows already probed
    // can be rewritten; any other index changes nothing.
    void rewriteRoute(int32_t index, const EchoResult& reply);

    static constexpr int32_t kMaxTimeoutMs = 60000;
    // The table's own values from construction until the first configure; the program
    // configures it at once with the options from its settings, so these only matter to
    // a table used on its own.
    static constexpr int32_t kInitialTimeoutMs = 1500;
    static constexpr uint32_t kInitialPacketSize = 8;
    static constexpr int32_t kInitialMaxHops = 64;
    static constexpr int32_t kInitialReverseDns = 1;

    HopRecord records[kMaxRecords];
    int32_t hopCount;
    uint32_t target;
    IcmpPinger pinger;
    int32_t pingCursor;
    int32_t timeoutMs;
    uint32_t packetSize;
    int32_t maxHops;
    int32_t reverseDns;

private:
    void traceStep();
    void monitorStep();
    void writeAnsweredHop(HopRecord& record, const EchoResult& reply);
};
