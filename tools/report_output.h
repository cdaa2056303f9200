// Where lumentrax-trace's reports go besides standard output, and the machine they
// describe: a file replaced whole by each report, and the machine's name. Each platform
// has its own implementation file, linked as the console's is.
#pragma once

#include <cstddef>

#include "console_platform.h"
#include "engine/icmp_pinger.h"

// Replaces the file at `path` (UTF-8) with `text` in one step: the text is written into
// a file of its own beside it (the path with ".lumentrax.tmp" added, one fixed name, so a
// run that was killed leaves at most that one behind and the next run takes it over),
// flushed to the disk, then renamed over the path; runs that write the same path take
// turns on that file. A reader of the path sees the whole previous report or the whole
// new one, never a part. False, with the reason, when any of it fails; the file beside
// it is then removed.
bool replaceFile(const char* path, const char* text, size_t length, char (&reason)[kConsoleReasonSize]);

// The machine's name (UTF-8), empty when the system gives none.
void readMachineName(char (&name)[kHostNameSize]);
