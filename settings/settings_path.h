// Where the settings file lies: beside the executable, bearing its name.
#pragma once

#include <cstddef>

constexpr size_t kSettingsPathSize = 512;

// The module path with everything from the last "." of its file name replaced by
// ".ini"; ".ini" appended when the file name has no "." or already ends in ".ini", so
// that the settings file is never the executable itself nor cut inside a directory's name. A path too long to
// take the ending yields the empty text (nothing is read from or written to it).
void settingsPathFor(const char* modulePath, char* out, size_t capacity);

// The name of the lock that copies sharing one settings file take turns with: a fixed
// prefix and a hash of the path with its ASCII letters folded, so that two spellings
// of one path meet. Object names cannot hold a backslash and are short, so the path itself
// cannot be the name. Always fits kSettingsLockNameSize.
constexpr size_t kSettingsLockNameSize = 48;
void settingsLockName(const char* settingsPath, char (&out)[kSettingsLockNameSize]);
