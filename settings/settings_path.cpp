// The settings path rule.
#include "settings/settings_path.h"

#include <cstdint>
#include <cstdio>

namespace {

// ASCII letters folded, every other unit (those above 127 included) as it is.
template <typename Char>
Char fold(Char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename Char>
size_t length(const Char* text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// True when `text` starts with `ascii`, letter case aside (the file system ignores
// case); `text` is then moved past it.
template <typename Char>
bool skipFolded(const Char*& text, const char* ascii) {
    const Char* c = text;
    for (; *ascii != '\0'; ++ascii, ++c) {
        if (fold(*c) != static_cast<Char>(*ascii)) return false;
    }
    text = c;
    return true;
}

// A decimal number without leading zeros that fits 32 bits; `text` is moved past it.
template <typename Char>
bool skipNumber(const Char*& text, uint32_t& value) {
    const Char* digits = text;
    uint64_t number = 0;
    const Char* c = digits;
    for (; *c >= '0' && *c <= '9' && c - digits < 10; ++c) number = number * 10 + static_cast<uint64_t>(*c - '0');
    if (c == digits || (*digits == '0' && c - digits > 1) || number > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(number);
    text = c;
    return true;
}

}  // namespace

template <typename Char>
void settingsPathFor(const Char* modulePath, Char* out, size_t capacity) {
    if (capacity == 0) return;
    out[0] = 0;
    const size_t total = length(modulePath);
    size_t nameStart = 0;
    for (size_t i = 0; i < total; ++i) {
        if (modulePath[i] == '\\' || modulePath[i] == '/') nameStart = i + 1;
    }
    size_t stem = total;
    for (size_t i = total; i > nameStart; --i) {
        if (modulePath[i - 1] == '.') {
            stem = i - 1;
            break;
        }
    }
    // A program whose own name ends in ".ini" keeps it whole: the settings file must
    // never be the program itself.
    const Char* ending = modulePath + stem;
    if (skipFolded(ending, ".ini") && *ending == 0) stem = total;
    constexpr char kEnding[] = ".ini";
    if (stem + sizeof kEnding > capacity) return;
    for (size_t i = 0; i < stem; ++i) out[i] = modulePath[i];
    for (size_t i = 0; i < sizeof kEnding; ++i) out[stem + i] = static_cast<Char>(kEnding[i]);
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

template <typename Char>
void settingsLockName(const Char* settingsPath, char (&out)[kSettingsLockNameSize]) {
    LockHash hash;
    for (const Char* c = settingsPath; *c != 0; ++c) {
        hash.add(static_cast<uint64_t>(fold(*c)) & (sizeof(Char) == 1 ? 0xFF : 0xFFFF), sizeof(Char) == 1 ? 1 : 2);
    }
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

template <typename Char>
bool settingsTemporaryOwner(const Char* settingsName, const Char* fileName, uint32_t& processId) {
    const Char* c = fileName;
    for (const Char* s = settingsName; *s != 0; ++s, ++c) {
        if (fold(*c) != fold(*s)) return false;
    }
    uint32_t owner = 0, attempt = 0;
    if (!skipFolded(c, kTemporaryInfix) || !skipNumber(c, owner)) return false;
    // A later attempt's name: "-<n>", n from 1.
    if (*c == '-' && !(skipNumber(++c, attempt) && attempt != 0)) return false;
    if (!skipFolded(c, ".tmp") || *c != 0) return false;
    processId = owner;
    return true;
}

template void settingsPathFor(const char*, char*, size_t);
template void settingsPathFor(const wchar_t*, wchar_t*, size_t);
template void settingsLockName(const char*, char (&)[kSettingsLockNameSize]);
template void settingsLockName(const wchar_t*, char (&)[kSettingsLockNameSize]);
template bool settingsTemporaryOwner(const char*, const char*, uint32_t&);
template bool settingsTemporaryOwner(const wchar_t*, const wchar_t*, uint32_t&);
