// lumentrax-trace's reports: the hop table with the facts of its run, as the clipboard's
// tab-separated text, as CSV (RFC 4180) or as one line of JSON (RFC 8259). Pure, so that
// both systems' runners give the same bytes. Figures come from the results list's cell
// texts (ui/row_text), so a report cannot disagree with the table: a cell the list
// leaves empty is an empty CSV field and a JSON null.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/hop_table.h"
#include "wall_time.h"

enum class ReportFormat { kTsv, kCsv, kJson };

// The run a report describes: what was traced, with which options, and when.
struct ReportFacts {
    char target[kHostNameSize];      // as given on the command line (cut to fit)
    char address[kAddressTextSize];  // the dotted quad it resolved to
    int32_t maxHops;
    int32_t timeoutMs;
    int32_t monitorTimeoutMs;
    int32_t packetSize;
    int32_t reverseDns;
    WallTime startUtc;
    WallTime endUtc;
    WallTime endLocal;
    // A TSV or CSV report then starts with "# LOCAL-TIME TARGET ADDRESS" (CR LF), so
    // that reports appended to one file say when and of what each was taken.
    bool stamped;
    int64_t elapsedMs = 0;  // from the run's start to this report, on the monotonic clock
};

// Longest text one hop can add to any form (a JSON hop with a name of escaped quotes).
constexpr size_t kMaxReportHopLength = 1024;
// Room for a report of a full table with its head.
constexpr size_t kMaxReportLength = (kMaxRecords + 2) * kMaxReportHopLength;

// Writes the report of records[0 .. count-1] into `out` (capacity bytes, zero included).
// False, with `out` empty, when it does not fit whole.
bool formatReport(ReportFormat format, const ReportFacts& facts, const HopRecord* records,
                    int count, char* out, size_t capacity);
