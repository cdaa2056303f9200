// The route's history: every confirmed change of a hop's router (when, the router
// replaced with its figures at that moment, its successor) and every load-balanced hop
// (the routers seen there and their shares of the answers), in a ring of fixed size,
// and its text form, newest first. Pure: the caller stamps each event with its times.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/hop_table.h"
#include "route/route_watch.h"
#include "calendar/calendar.h"

// When an event happened: the local time for people, UTC for reports, the monotonic
// clock for the timeline's marks.
struct RouteStamp {
    WallTime local;
    WallTime utc;
    int64_t monotonicMs;
};

struct RouteRouter {
    uint32_t address;
    char addressText[kAddressTextSize];
    char hostName[kHostNameSize];
};

enum class RouteEventKind : int32_t { kChanged = 0, kBalanced = 1 };

struct RouteEvent {
    RouteEventKind kind;
    int32_t hop;  // 1-based
    RouteStamp stamp;
    RouteRouter before;  // the row's router
    // kChanged: the router replaced, its figures when it was, and the router now there.
    int64_t sent;
    int64_t received;
    int32_t bestMs;
    int32_t worstMs;
    int64_t averageMs;
    RouteRouter after;
    // kBalanced: the routers seen answering at the hop, the row's first, and their
    // answers; answers of routers beyond those are counted together.
    RouterShare routers[kRouteMaxRouters];
    int64_t otherAnswers;
};

// Events kept: the newest this many (about 190 KB).
constexpr int32_t kRouteHistoryCapacity = 256;

struct RouteHistory {
    RouteHistory();

    void clear();
    int32_t count() const;
    // Event `age` (0 = the newest); age must be below count().
    const RouteEvent& newest(int32_t age) const;
    void addChange(const RouteStamp& stamp, int32_t hop, const HopRecord& before, const HopRecord& after);
    // Adds the hop's load balancing, or brings its shares up to date when the event of
    // that hop and row router is still kept.
    void noteBalanced(const RouteStamp& stamp, int32_t hop, const HopRecord& row, const HopChecks& checks);

    RouteEvent events[kRouteHistoryCapacity];
    int64_t added;    // events added since the last clear; the ring keeps the newest
    int64_t changes;  // confirmed changes since the last clear, kept or not
};

// The texts of one event, in the history window's columns: time (local,
// YYYY-MM-DD HH:MM:SS), hop, "changed" or "load-balanced", the router before, its sent,
// received, best, average and worst (a change's only), the router after (a change) or
// every router seen with its share of the answers (load balancing).
constexpr int kRouteColumnCount = 10;
constexpr int kRouteCellSize = 320;
struct RouteEventCells {
    char text[kRouteColumnCount][kRouteCellSize];
};
void formatRouteEventCells(const RouteEvent& event, RouteEventCells& cells);

// The history as text, newest first: one line per event, its cells tab-separated, each
// line ended by CR LF. Writes whole lines into `out` (capacity bytes, zero included) and
// returns the length of the complete text, so a first call with capacity 0 sizes it.
size_t formatRouteHistoryText(const RouteHistory& history, char* out, size_t capacity);

// The history window's title: "Route history - TARGET", TARGET the host as the trace was
// started with it ("Route history" before any), cut to `capacity` bytes (zero included).
void formatRouteHistoryTitle(const char* target, char* out, size_t capacity);
