// The /ip: option and the case-blind search it is found with.
#include "command_line.h"

#include "text/ascii_case.h"

const char* findNoCase(const char* text, const char* pattern) {
    if (*pattern == '\0') return text;
    for (const char* start = text; *start != '\0'; ++start) {
        size_t i = 0;
        while (pattern[i] != '\0') {
            if (start[i] == '\0') return nullptr;  // text ended first: no later start can match
            if (foldAscii(start[i]) != foldAscii(pattern[i])) break;
            ++i;
        }
        if (pattern[i] == '\0') return start;
    }
    return nullptr;
}

void readAddressOption(const char* commandLine, char (&address)[kCommandLineAddressSize]) {
    address[0] = '\0';
    const char* option = findNoCase(commandLine, "/ip:");
    if (option == nullptr) return;
    const char* value = option + 4;
    char end = ' ';
    if (*value == '"') {
        ++value;
        end = '"';
    }
    size_t n = 0;
    while (value[n] != '\0' && value[n] != end && n + 1 < kCommandLineAddressSize) {
        address[n] = value[n];
        ++n;
    }
    address[n] = '\0';
}
