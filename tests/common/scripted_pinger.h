// A scripted echo service for tests of the engine: a route of routers at fixed
// distances, a target at a chosen distance, silent or flaky hops, canned round trips
// and names. Every echo is logged. It replaces the real IcmpPinger at link time.
#pragma once

#include <cstdint>

#include "engine/icmp_pinger.h"

namespace script {

constexpr int kMaxLog = 4096;

struct EchoCall {
    uint32_t destination;
    int32_t timeToLive;
    int32_t size;
    int32_t timeoutMs;
};

// Forgets the whole script and the log.
void reset();
// A host name that resolves to `address` (dotted quads resolve by themselves).
void name(const char* host, uint32_t address);
// The router at distance `ttl` answers with `address` after `ms`.
void router(int ttl, uint32_t address, int32_t ms);
// The router at distance `ttl` never answers.
void silent(int ttl);
// The first `failures` echoes that reach distance `ttl` go unanswered.
void flaky(int ttl, int failures);
// Echoes that end at distance `ttl` are answered by its router and up to three `others`
// (load balancing that sends each probe another way): in turn, the router first, when
// `seed` is 0, else at random, drawn from `seed`.
void spread(int ttl, const uint32_t* others, int count, uint32_t seed);
// `address` is the traced host, `distance` hops away; it answers echoes whose
// time-to-live reaches it, after `ms`.
void target(uint32_t address, int distance, int32_t ms);
// Monitor-phase answers of `address`: the next echoes straight to it answer with these
// round trips in turn; a negative entry is a time-out. Afterwards it answers with its
// router time.
void answers(uint32_t address, const int32_t* roundTrips, int count);
// Every echo fails from now on (as when the ICMP library is missing).
void unplugged(bool on);
// Reverse name of `address` (copied as given, however long).
void reverseName(uint32_t address, const char* hostName);

// A clock of the script's own: each echo moves it on by its round trip, or by its
// timeout when unanswered, as waiting for the real echo would.
int64_t clockMs();
void advance(int64_t ms);

int echoCount();
const EchoCall& echoAt(int index);

// An address in network byte order from its four parts.
uint32_t ip(int a, int b, int c, int d);

}  // namespace script
