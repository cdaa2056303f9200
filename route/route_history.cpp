// The route history's ring and its text form.
#include "route/route_history.h"

#include <cstdio>
#include <cstring>

#include "text/bounded_text.h"

namespace {

constexpr size_t kMaxRouteLineLength = kRouteColumnCount * kRouteCellSize;

RouteRouter routerOf(const HopRecord& record) {
    RouteRouter router{};
    router.address = record.address;
    copyPrintableField(router.addressText, record.addressText);
    copyPrintableField(router.hostName, record.hostName);
    return router;
}

// "ADDRESS NAME", or the address alone when there is no name.
void formatRouter(const RouteRouter& router, char (&cell)[kRouteCellSize]) {
    std::snprintf(cell, sizeof cell, "%s%s%s", router.addressText, router.hostName[0] != '\0' ? " " : "",
                  router.hostName);
}

// "a.b.c.d 50%, e.f.g.h 50%": every router seen, its share of the answers rounded to a
// whole percent, then those beyond the list together as "others".
void formatShares(const RouteEvent& event, char (&cell)[kRouteCellSize]) {
    int64_t total = event.otherAnswers;
    for (const RouterShare& share : event.routers) total += share.answers;
    cell[0] = '\0';
    if (total <= 0) return;
    size_t used = 0;
    const auto add = [&](const char* name, int64_t answers) {
        const long long percent = (answers * 200 + total) / (2 * total);
        const int length = std::snprintf(cell + used, sizeof cell - used, "%s%s %lld%%", used > 0 ? ", " : "",
                                         name, percent);
        if (length < 0) return;
        const size_t room = sizeof cell - 1 - used;
        used += static_cast<size_t>(length) < room ? static_cast<size_t>(length) : room;
    };
    for (const RouterShare& share : event.routers) {
        if (share.answers <= 0) continue;
        const auto* bytes = reinterpret_cast<const unsigned char*>(&share.address);
        char text[kAddressTextSize];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
        add(text, share.answers);
    }
    if (event.otherAnswers > 0) add("others", event.otherAnswers);
}

// A new event in the ring's next slot, over the oldest once the ring is full.
RouteEvent& addEvent(RouteHistory& history, RouteEventKind kind, const RouteStamp& stamp, int32_t hop,
                     const HopRecord& row) {
    RouteEvent& event = history.events[history.added++ % kRouteHistoryCapacity];
    std::memset(&event, 0, sizeof event);
    event.kind = kind;
    event.hop = hop;
    event.stamp = stamp;
    event.before = routerOf(row);
    return event;
}

size_t formatLine(const RouteEvent& event, char (&line)[kMaxRouteLineLength]) {
    RouteEventCells cells;
    formatRouteEventCells(event, cells);
    size_t used = 0;
    for (int column = 0; column < kRouteColumnCount; ++column) {
        used += copyBounded(line + used, sizeof line - used, cells.text[column]);
        used += copyBounded(line + used, sizeof line - used, column + 1 < kRouteColumnCount ? "\t" : "\r\n");
    }
    return used;
}

}  // namespace

RouteHistory::RouteHistory() { clear(); }

void RouteHistory::clear() {
    added = 0;
    changes = 0;
}

int32_t RouteHistory::count() const {
    return added < kRouteHistoryCapacity ? static_cast<int32_t>(added) : kRouteHistoryCapacity;
}

const RouteEvent& RouteHistory::newest(int32_t age) const {
    return events[(added - 1 - age) % kRouteHistoryCapacity];
}

void RouteHistory::addChange(const RouteStamp& stamp, int32_t hop, const HopRecord& before, const HopRecord& after) {
    RouteEvent& event = addEvent(*this, RouteEventKind::kChanged, stamp, hop, before);
    event.sent = before.sent;
    event.received = before.received;
    event.bestMs = before.bestMs;
    event.worstMs = before.worstMs;
    event.averageMs = averageMs(before);
    event.after = routerOf(after);
    ++changes;
}

void RouteHistory::noteBalanced(const RouteStamp& stamp, int32_t hop, const HopRecord& row, const HopChecks& checks) {
    RouteEvent* event = nullptr;
    for (int32_t age = 0; age < count() && event == nullptr; ++age) {
        RouteEvent& candidate = events[(added - 1 - age) % kRouteHistoryCapacity];
        if (candidate.hop == hop && candidate.before.address == row.address) {
            // A change of that hop since means its balancing then is over: a new event.
            if (candidate.kind == RouteEventKind::kChanged) break;
            event = &candidate;
        }
    }
    if (event == nullptr) event = &addEvent(*this, RouteEventKind::kBalanced, stamp, hop, row);
    std::memcpy(event->routers, checks.routers, sizeof event->routers);
    event->otherAnswers = checks.otherAnswers;
}

void formatRouteEventCells(const RouteEvent& event, RouteEventCells& cells) {
    for (auto& cell : cells.text) cell[0] = '\0';
    const WallTime& t = event.stamp.local;
    std::snprintf(cells.text[0], kRouteCellSize, "%04d-%02d-%02d %02d:%02d:%02d", static_cast<int>(t.year),
                  static_cast<int>(t.month), static_cast<int>(t.day), static_cast<int>(t.hour),
                  static_cast<int>(t.minute), static_cast<int>(t.second));
    std::snprintf(cells.text[1], kRouteCellSize, "%d", static_cast<int>(event.hop));
    formatRouter(event.before, cells.text[3]);
    if (event.kind == RouteEventKind::kBalanced) {
        copyBounded(cells.text[2], "load-balanced");
        formatShares(event, cells.text[9]);
        return;
    }
    copyBounded(cells.text[2], "changed");
    std::snprintf(cells.text[4], kRouteCellSize, "%lld", static_cast<long long>(event.sent));
    std::snprintf(cells.text[5], kRouteCellSize, "%lld", static_cast<long long>(event.received));
    std::snprintf(cells.text[6], kRouteCellSize, "%d ms", static_cast<int>(event.bestMs));
    if (event.received > 0) {
        std::snprintf(cells.text[7], kRouteCellSize, "%lld ms", static_cast<long long>(event.averageMs));
    }
    std::snprintf(cells.text[8], kRouteCellSize, "%d ms", static_cast<int>(event.worstMs));
    formatRouter(event.after, cells.text[9]);
}

size_t formatRouteHistoryText(const RouteHistory& history, char* out, size_t capacity) {
    size_t total = 0;
    bool fits = true;
    if (capacity > 0) out[0] = '\0';
    for (int32_t age = 0; age < history.count(); ++age) {
        char line[kMaxRouteLineLength];
        const size_t length = formatLine(history.newest(age), line);
        fits = fits && total + length < capacity;
        if (fits) std::memcpy(out + total, line, length + 1);
        total += length;
    }
    return total;
}

void formatRouteHistoryTitle(const char* target, char* out, size_t capacity) {
    if (capacity == 0) return;
    std::snprintf(out, capacity, "Route history%s%s", target[0] != '\0' ? " - " : "", target);
}
