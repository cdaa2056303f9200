// Reading the program's command line: a case-blind search and the /ip: option.
#pragma once

#include <cstddef>

constexpr size_t kCommandLineAddressSize = 256;  // at most 255 characters and a zero

// First occurrence of `pattern` in `text`, letters compared without regard to case
// (only a-z fold); null when there is none. An empty pattern matches at the start.
const char* findNoCase(const char* text, const char* pattern);

// The value of the first "/ip:" option: double-quoted (to the closing quote or the end)
// or running to the first blank. Longer values are cut to their first 255 characters.
// The empty text when the option is absent or has no value.
void readAddressOption(const char* commandLine, char (&address)[kCommandLineAddressSize]);
