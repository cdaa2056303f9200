// The settings path rule.
#include "settings_path.h"

#include <cstring>

void settingsPathFor(const char* modulePath, char* out, size_t capacity) {
    if (capacity == 0) return;
    out[0] = '\0';
    size_t length = std::strlen(modulePath);
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
    static const char kEnding[] = ".ini";
    if (stem + sizeof kEnding > capacity) return;
    std::memcpy(out, modulePath, stem);
    std::memcpy(out + stem, kEnding, sizeof kEnding);
}
