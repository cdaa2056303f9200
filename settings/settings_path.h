// Where the settings file lies: beside the executable, bearing its name.
#pragma once

#include <cstddef>

constexpr size_t kSettingsPathSize = 512;

// The module path with everything from the last "." of its file name replaced by
// ".ini"; ".ini" appended when the file name has no "." or already ends in ".ini", so
// that the settings file is never the executable itself nor cut inside a directory's name. A path too long to
// take the ending yields the empty text (nothing is read from or written to it).
void settingsPathFor(const char* modulePath, char* out, size_t capacity);
