// The settings file: where the running program keeps it, and the load at start-up and
// the save when the main window is destroyed.
#pragma once

#include <cstddef>

struct TraceApp;

// The executable's path with its extension replaced by ".ini" (settingsPathFor). A
// module path that does not fit 511 characters gives the empty text, and an empty path
// is neither read nor written, so a cut path can never name some other file.
void settingsPath(char* out, size_t capacity);

// Fills the application's probe options, window placement, column widths and address
// history from the file; what the file lacks takes its default.
void loadSettings(TraceApp& app);

// Writes the probe options and the history, and measures the main window's placement
// and the list's column widths; needs the main window and the list to exist.
void saveSettings(TraceApp& app);
