// Where the settings file lies: beside the executable, bearing its name.
#pragma once

#include <cstddef>
#include <cstdint>

// Room for the module path that the settings path is made from.
constexpr size_t kSettingsPathSize = 512;

// The profile functions take a path of at most 259 characters (MAX_PATH with its end):
// a longer one is not "the settings file" but a cut name in some other folder. A
// settings path, and every temporary file beside it, must fit this.
constexpr size_t kProfilePathSize = 260;

// The module path with everything from the last "." of its file name replaced by
// ".ini"; ".ini" appended when the file name has no "." or already ends in ".ini", so
// that the settings file is never the executable itself nor cut inside a directory's name. A path too long to
// take the ending yields the empty text (nothing is read from or written to it).
// For narrow (char) and wide (wchar_t) paths.
template <typename Char>
void settingsPathFor(const Char* modulePath, Char* out, size_t capacity);

// The name of the lock that copies sharing one settings file take turns with, where the
// file's folder cannot be opened: a fixed prefix and a hash of the path with its ASCII
// letters folded, so that two spellings of one path meet. Object names cannot hold a
// backslash and are short, so the path itself cannot be the name. Always fits
// kSettingsLockNameSize.
constexpr size_t kSettingsLockNameSize = 48;
template <typename Char>
void settingsLockName(const Char* settingsPath, char (&out)[kSettingsLockNameSize]);

// The same name made from the file's identity rather than its spelling: the volume
// serial number and file index of its folder, and its file name in UTF-16 as the file
// system compares it (upper case), so that links, short names, drive letters and case
// all meet.
void settingsLockNameOfFile(uint32_t volumeSerial, uint64_t folderIndex, const uint16_t* upperName,
                            size_t nameLength, char (&out)[kSettingsLockNameSize]);

// A save's temporary file is "<settings file>.lumentrax-<process id>.tmp", or, where
// that name is taken, "<settings file>.lumentrax-<process id>-<n>.tmp": the word tells
// it from a user's own copies beside the file, such as a dated
// "lumentrax.ini.20261208.tmp", which a save must never remove.
constexpr char kTemporaryInfix[] = ".lumentrax-";

// True when `fileName` is a temporary file of a save of `settingsName` (both without
// folder): exactly "<settingsName>.lumentrax-<process id>[-<n>].tmp", numbers in
// decimal without leading zeros, letter case aside. `processId` is then the id of the
// process that made it.
template <typename Char>
bool settingsTemporaryOwner(const Char* settingsName, const Char* fileName, uint32_t& processId);
