// lumentrax-trace's reports: the hop table with the facts of its run, as the clipboard's
// tab-separated text, as CSV (RFC 4180), as one line of JSON (RFC 8259) or in the
// Prometheus text exposition format. Pure, so that both systems' runners give the same
// bytes. The table's figures come from the results list's cell texts (ui/row_text), so a
// report cannot disagree with the table; where a hop received nothing its round trips
// are an empty CSV field and a JSON null, and the loss is exact to two decimals.
#pragma once

#include <cstddef>
#include <cstdint>

#include "calendar/calendar.h"
#include "engine/hop_table.h"
#include "hop_figures.h"

enum class ReportFormat { kTsv, kCsv, kJson, kPrometheus };

// The JSON form's schema: raised whenever a member's meaning changes.
constexpr int kReportSchema = 2;

constexpr int kVersionTextSize = 32;

// One confirmed route change, as reports give it.
struct ReportRouteChange {
    WallTime timeUtc;
    int32_t hop;                      // 1-based
    char from[kAddressTextSize];      // dotted quads
    char to[kAddressTextSize];
};

// The run a report describes: what was traced, with which options, when, and where this
// report stands in the run.
struct ReportFacts {
    char target[kHostNameSize];      // as given on the command line (cut to fit)
    char address[kAddressTextSize];  // the dotted quad it resolved to
    char version[kVersionTextSize];  // the program's version
    char host[kHostNameSize];        // the name of the machine that traces
    int32_t maxHops;
    int32_t timeoutMs;
    int32_t monitorTimeoutMs;
    int32_t packetSize;
    int32_t reverseDns;
    WallTime startUtc;
    WallTime endUtc;
    WallTime endLocal;
    int64_t elapsedMs;  // from the run's start to this report, on a clock that never steps back
    int64_t seq;        // 1, 2, 3 ... within a run
    bool final;         // the run's last report
    // A TSV report then starts with "# LOCAL-TIME TARGET ADDRESS" (CR LF), so that
    // reports appended to one file say when and of what each was taken.
    bool stamped;
    // A CSV report then starts with its header row; a run gives it once, so that its
    // reports form one table.
    bool csvHeader;
    bool routeChecks;                          // the run checks its route
    const ReportRouteChange* routeChanges;     // the changes kept, oldest first (may be fewer than the total)
    int32_t routeChangeCount;
    int64_t routeChangesTotal;                 // every change confirmed in the run
};

// Longest text one hop can add to any form: the Prometheus form repeats the target and
// the name, each byte of them up to three bytes long, in each of its seven samples.
constexpr size_t kMaxReportHopLength = 12 * 1024;
// Route changes a report has room for (each under 128 bytes in any form).
constexpr int kMaxReportRouteChanges = 256;
// Room for a report of a full table with its head and that many route changes.
constexpr size_t kMaxReportLength = (kMaxRecords + 2) * kMaxReportHopLength + kMaxReportRouteChanges * 128;

// Writes the report of records[0 .. count-1], with figures[i] fed from records[i], into
// `out` (capacity bytes, zero included). False, with `out` empty, when it does not fit whole.
bool formatReport(ReportFormat format, const ReportFacts& facts, const HopRecord* records,
                  int count, const HopFigures& figures, char* out, size_t capacity);
