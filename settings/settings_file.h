// Where the running program keeps its settings file, for the code that reads and
// writes it and for the tests that inspect it.
#pragma once

#include <cstddef>

// The executable's path with its extension replaced by ".ini" (settingsPathFor). A
// module path that does not fit 511 characters gives the empty text, and an empty path
// is neither read nor written, so a cut path can never name some other file.
void settingsPath(char* out, size_t capacity);
