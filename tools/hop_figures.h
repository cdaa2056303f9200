// Per-hop figures that the engine's records do not hold: the spread of each hop's
// answered round trips over the run, and what each hop did since the previous report.
// Fed after every step by comparing each record's counters with the last look, as the
// timeline store is; pure, so reports stay functions of what they are given.
#pragma once

#include <cstdint>

#include "engine/hop_table.h"
#include "timeline/timeline_store.h"

// What one hop did within a stretch of the run: echoes sent and answered, and the
// answered echoes' round trips.
struct HopInterval {
    int64_t sent;
    int64_t received;
    int64_t totalMs;
    int32_t bestMs;
    int32_t worstMs;
};

struct HopFigureRow {
    SeenCounters seen;  // the record's counters at the last look
    // Answered round trips of the run, as a running mean and sum of squared deviations
    // (Welford), which stay exact enough for any run length without overflow.
    int64_t answered;
    double meanMs;
    double squaredDeviations;
    HopInterval interval;  // since the previous report (the whole run for the first)
};

struct HopFigures {
    // Counts what each of the first `count` records did since the last look. Counters
    // below the last look mean the row was written afresh (a new hop there): its
    // figures start over.
    void feed(const HopRecord* records, int32_t count);
    // A report was taken: the next interval starts empty.
    void startInterval();
    // The sample standard deviation of a hop's answered round trips; false with fewer
    // than two.
    bool stdevMs(int32_t index, double& value) const;

    HopFigureRow rows[kMaxRecords];
};
