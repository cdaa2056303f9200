// The scripted echo service behind IcmpPinger in engine and window tests.
#include "scripted_pinger.h"

#include <cstdio>
#include <cstring>
#include <tuple>

#include "text/bounded_text.h"

namespace script {
namespace {

constexpr int kMaxDistance = 300;
constexpr int kMaxEntries = 64;
constexpr int kMaxAnswers = 256;
constexpr int kMaxOthers = 3;

struct Hop {
    uint32_t address;
    int32_t ms;
    bool isSilent;
    int failures;
    uint32_t others[kMaxOthers];  // routers sharing its echoes (spread)
    int otherCount;
    int turn;       // whose turn it is, when they take turns
    bool random;    // drawn at random, else in turn
    uint32_t draw;  // the generator's state
};

struct Host {
    uint32_t address;
    char text[512];
};

struct Answers {
    uint32_t address;
    int32_t roundTrips[kMaxAnswers];
    int count;
    int next;
};

struct State {
    Hop hops[kMaxDistance + 1];
    uint32_t targetAddress;
    int targetDistance;
    int32_t targetMs;
    bool isUnplugged;
    Host names[kMaxEntries];
    int nameCount;
    Host reverse[kMaxEntries];
    int reverseCount;
    Answers answerLists[kMaxEntries];
    int answerCount;
    EchoCall log[kMaxLog];
    int logCount;
    int64_t clockMs;
};

State state;

bool reply(uint32_t address, int32_t ms, EchoResult& result) {
    result = EchoResult{address, 0, ms};
    return true;
}

Hop* hopWithAddress(uint32_t address, int* distance) {
    for (int d = 1; d <= kMaxDistance; ++d) {
        if (state.hops[d].address == address && !state.hops[d].isSilent) {
            *distance = d;
            return &state.hops[d];
        }
    }
    return nullptr;
}

bool monitorReply(uint32_t address, int32_t defaultMs, EchoResult& result) {
    for (int i = 0; i < state.answerCount; ++i) {
        Answers& list = state.answerLists[i];
        if (list.address == address && list.next < list.count) {
            int32_t ms = list.roundTrips[list.next++];
            return ms >= 0 && reply(address, ms, result);
        }
    }
    return reply(address, defaultMs, result);
}

// Names and reverse names are kept alike: an address and its text, in order of arrival.
void addHost(Host (&list)[kMaxEntries], int& count, uint32_t address, const char* text) {
    list[count].address = address;
    copyBounded(list[count++].text, text);
}

int answerEcho(uint32_t destination, int32_t timeToLive, EchoResult& result) {
    if (state.isUnplugged) return 0;
    const int ttl = timeToLive & 0xFF;  // what the IP header would carry
    if (destination == state.targetAddress && destination != 0) {
        if (ttl >= state.targetDistance) return monitorReply(destination, state.targetMs, result);
    } else {
        int distance = 0;
        Hop* hop = hopWithAddress(destination, &distance);
        if (hop == nullptr || ttl < distance) return 0;
        return monitorReply(destination, hop->ms, result);
    }
    Hop& hop = state.hops[ttl];
    if (hop.isSilent || hop.address == 0) return 0;
    if (hop.failures > 0) {
        --hop.failures;
        return 0;
    }
    if (hop.random) hop.draw = hop.draw * 1103515245u + 12345u;
    const int pick = static_cast<int>((hop.random ? hop.draw >> 16 : hop.turn++) % (hop.otherCount + 1));
    return reply(pick == 0 ? hop.address : hop.others[pick - 1], hop.ms, result);
}

}  // namespace

void reset() { std::memset(&state, 0, sizeof state); }

void name(const char* host, uint32_t address) { addHost(state.names, state.nameCount, address, host); }

void router(int ttl, uint32_t address, int32_t ms) {
    Hop& hop = state.hops[ttl];
    std::tie(hop.address, hop.ms, hop.isSilent) = std::make_tuple(address, ms, false);
}

void silent(int ttl) { state.hops[ttl].isSilent = true; }

void flaky(int ttl, int failures) { state.hops[ttl].failures = failures; }

void spread(int ttl, const uint32_t* others, int count, uint32_t seed) {
    Hop& hop = state.hops[ttl];
    hop.otherCount = count < kMaxOthers ? count : kMaxOthers;
    std::memcpy(hop.others, others, sizeof(uint32_t) * hop.otherCount);
    hop.turn = 0;
    hop.random = seed != 0;
    hop.draw = seed;
}

int64_t clockMs() { return state.clockMs; }

void advance(int64_t ms) { state.clockMs += ms; }

void target(uint32_t address, int distance, int32_t ms) {
    std::tie(state.targetAddress, state.targetDistance, state.targetMs) = std::make_tuple(address, distance, ms);
}

void answers(uint32_t address, const int32_t* roundTrips, int count) {
    Answers& list = state.answerLists[state.answerCount++];
    list.address = address;
    list.count = count < kMaxAnswers ? count : kMaxAnswers;
    list.next = 0;
    std::memcpy(list.roundTrips, roundTrips, sizeof(int32_t) * list.count);
}

void unplugged(bool on) { state.isUnplugged = on; }

void reverseName(uint32_t address, const char* hostName) {
    addHost(state.reverse, state.reverseCount, address, hostName);
}

int echoCount() { return state.logCount; }

const EchoCall& echoAt(int index) { return state.log[index]; }

uint32_t ip(int a, int b, int c, int d) {
    unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                              static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
    uint32_t address;
    std::memcpy(&address, bytes, 4);
    return address;
}

}  // namespace script

using namespace script;

IcmpPinger::IcmpPinger() {}
IcmpPinger::~IcmpPinger() {}

uint32_t IcmpPinger::resolve(const char* text) {
    int a, b, c, d;
    char extra;
    if (std::sscanf(text, "%d.%d.%d.%d%c", &a, &b, &c, &d, &extra) == 4) return ip(a, b, c, d);
    for (int i = 0; i < state.nameCount; ++i) {
        if (std::strcmp(state.names[i].text, text) == 0) return state.names[i].address;
    }
    return 0;
}

void IcmpPinger::reverseLookup(char (&hostName)[kHostNameSize], uint32_t address) {
    hostName[0] = '\0';
    for (int i = 0; i < state.reverseCount; ++i) {
        if (state.reverse[i].address == address) copyPrintable(hostName, state.reverse[i].text);
    }
}

void IcmpPinger::formatAddress(char (&addressText)[kAddressTextSize], uint32_t address) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&address);
    std::snprintf(addressText, sizeof addressText, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
}

int IcmpPinger::echo(uint32_t destination, int32_t timeToLive, int32_t size, int32_t timeoutMs,
                     EchoResult& result) {
    if (state.logCount < kMaxLog) state.log[state.logCount++] = {destination, timeToLive, size, timeoutMs};
    const int answered = answerEcho(destination, timeToLive, result);
    state.clockMs += answered != 0 ? result.roundTripMs : timeoutMs;
    return answered;
}
