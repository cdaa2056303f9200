// The settings file: where the running program keeps it, and the load at start-up and
// the save when the main window is destroyed.
#pragma once

#include <cstddef>

struct TraceApp;

// The executable's path with its extension replaced by ".ini" (settingsPathFor), taken
// from the wide module path: a folder name outside the ANSI code page stays itself
// rather than a best-fit look-alike that may name another folder. A module path that
// does not fit 511 characters, or a settings path longer than the 259 characters the
// profile functions take, gives the empty text, and an empty path is neither read nor
// written, so a cut path can never name some other file.
void settingsPath(wchar_t* out, size_t capacity);

// Fills the application's probe options, window placement, column widths and address
// history from the file; what the file lacks takes its default. Where a copy died while
// replacing the file, its complete temporary file becomes the settings file first.
void loadSettings(TraceApp& app);

// Writes the probe options and the history, and measures the main window's placement
// and the list's column widths; needs the main window and the list to exist. A copy
// that died meanwhile while replacing the file is recovered from first, as at start-up.
void saveSettings(TraceApp& app);
