// The per-hop accumulator behind the reports' spread and interval figures.
#include "hop_figures.h"

#include <cmath>
#include <cstring>

namespace {

// Adds `count` answers of `ms` each (Welford's update, merged for a batch).
void addSamples(HopFigureRow& row, int64_t count, double ms) {
    if (count <= 0) return;
    const double before = static_cast<double>(row.answered);
    row.answered += count;
    const double delta = ms - row.meanMs;
    row.meanMs += delta * static_cast<double>(count) / static_cast<double>(row.answered);
    row.squaredDeviations += delta * delta * before * static_cast<double>(count) / static_cast<double>(row.answered);
}

void addToInterval(HopInterval& interval, const TimelineBucket& echoes) {
    if (echoes.answered > 0) {
        if (interval.received == 0 || echoes.bestMs < interval.bestMs) interval.bestMs = echoes.bestMs;
        if (interval.received == 0 || echoes.worstMs > interval.worstMs) interval.worstMs = echoes.worstMs;
    }
    interval.sent += echoes.sent;
    interval.received += echoes.answered;
    interval.totalMs += echoes.totalMs;
}

}  // namespace

void HopFigures::feed(const HopRecord* records, int32_t count) {
    if (count > kMaxRecords) count = kMaxRecords;
    for (int32_t i = 0; i < count; ++i) {
        const HopRecord& record = records[i];
        HopFigureRow& row = rows[i];
        if (record.sent < row.seen.sent || record.received < row.seen.received) {
            std::memset(&row, 0, sizeof row);
        }
        TimelineBucket echoes = echoesSince(row.seen, record);
        if (echoes.answered > 1 && row.seen.received == 0) {
            // Nothing answered before: the record's extremes are all this look's.
            echoes.bestMs = record.bestMs;
            echoes.worstMs = record.worstMs;
        }
        row.seen = SeenCounters{record.sent, record.received, record.totalMs, record.bestMs, record.worstMs};
        // One echo goes out per step, so an answer seen at one look has its own time.
        // Several at once (a row fed only now and then) count as their mean.
        if (echoes.answered > 0) {
            addSamples(row, echoes.answered, static_cast<double>(echoes.totalMs) / echoes.answered);
        }
        addToInterval(row.interval, echoes);
    }
}

void HopFigures::startInterval() {
    for (HopFigureRow& row : rows) row.interval = HopInterval{0, 0, 0, 0, 0};
}

bool HopFigures::stdevMs(int32_t index, double& value) const {
    if (index < 0 || index >= kMaxRecords || rows[index].answered < 2) return false;
    const HopFigureRow& row = rows[index];
    // Rounding can leave the sum a hair below zero where every time was the same.
    const double variance = row.squaredDeviations / static_cast<double>(row.answered - 1);
    value = variance > 0 ? std::sqrt(variance) : 0;
    return true;
}
