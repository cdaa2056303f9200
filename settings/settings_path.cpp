// The settings path rule.
#include "settings_path.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "text/ascii_case.h"

namespace {

constexpr char kEnding[] = ".ini";
constexpr size_t kEndingLength = sizeof kEnding - 1;

// True when `text` is ".ini" in any letter case (the file system ignores case).
bool isIniEnding(const char* text, size_t length) {
    if (length != kEndingLength) return false;
    for (size_t i = 0; i < length; ++i) {
        if (foldAscii(text[i]) != kEnding[i]) return false;
    }
    return true;
}

}  // namespace

void settingsPathFor(const char* modulePath, char* out, size_t capacity) {
    if (capacity == 0) return;
    out[0] = '\0';
    const size_t length = std::strlen(modulePath);
    size_t nameStart = 0;
    for (size_t i = 0; i < length; ++i) {
        if (modulePath[i] == '\\' || modulePath[i] == '/') nameStart = i + 1;
    }
    size_t stem = length;
    for (size_t i = length; i > nameStart; --i) {
        if (modulePath[i - 1] == '.') {
            stem = i - 1;
            break;
        }
    }
    // A program whose own name ends in ".ini" keeps it whole: the settings file must
    // never be the program itself.
    if (isIniEnding(modulePath + stem, length - stem)) stem = length;
    if (stem + kEndingLength + 1 > capacity) return;
    std::memcpy(out, modulePath, stem);
    std::memcpy(out + stem, kEnding, kEndingLength + 1);
}

// A 64-bit FNV-1a hash. Different files meeting on one name would only make their
// copies take turns needlessly.
struct LockHash {
    void add(uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) hash = (hash ^ ((value >> (8 * i)) & 0xFF)) * 1099511628211ull;
    }
    void name(char (&out)[kSettingsLockNameSize]) const {
        std::snprintf(out, sizeof out, "Lumentrax.Settings.%016llx", static_cast<unsigned long long>(hash));
    }
    uint64_t hash = 14695981039346656037ull;
};

void settingsLockName(const char* settingsPath, char (&out)[kSettingsLockNameSize]) {
    LockHash hash;
    for (const char* c = settingsPath; *c != '\0'; ++c) hash.add(static_cast<unsigned char>(foldAscii(*c)), 1);
    hash.name(out);
}

// The identity's name can never equal a path's: the hash is fed a different shape.
void settingsLockNameOfFile(uint32_t volumeSerial, uint64_t folderIndex, const uint16_t* upperName,
                            size_t nameLength, char (&out)[kSettingsLockNameSize]) {
    LockHash hash;
    hash.add(volumeSerial, 4);
    hash.add(folderIndex, 8);
    for (size_t i = 0; i < nameLength; ++i) hash.add(upperName[i], 2);
    hash.name(out);
}

bool settingsTemporaryOwner(const char* settingsName, const char* fileName, uint32_t& processId) {
    const size_t nameLength = std::strlen(settingsName);
    for (size_t i = 0; i < nameLength; ++i) {
        if (foldAscii(fileName[i]) != foldAscii(settingsName[i])) return false;
    }
    const char* c = fileName + nameLength;
    for (const char* infix = kTemporaryInfix; *infix != '\0'; ++infix, ++c) {
        if (foldAscii(*c) != *infix) return false;
    }
    uint64_t id = 0;
    const char* digits = c;
    // A process id never has leading zeros and fits 32 bits.
    for (; *c >= '0' && *c <= '9' && c - digits < 10; ++c) id = id * 10 + static_cast<uint64_t>(*c - '0');
    if (c == digits || (*digits == '0' && c - digits > 1) || id > 0xFFFFFFFFull) return false;
    const char ending[] = ".tmp";
    for (size_t i = 0; i < sizeof ending; ++i) {
        if (foldAscii(c[i]) != ending[i]) return false;
    }
    processId = static_cast<uint32_t>(id);
    return true;
}
