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
void settingsLockName(const char* settingsPath, char (&out)[kSettingsLockNameSize]) {
    uint64_t hash = 14695981039346656037ull;
    for (const char* c = settingsPath; *c != '\0'; ++c) {
        hash = (hash ^ static_cast<unsigned char>(foldAscii(*c))) * 1099511628211ull;
    }
    std::snprintf(out, sizeof out, "Lumentrax.Settings.%016llx", static_cast<unsigned long long>(hash));
}
