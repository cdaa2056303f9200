// Bounded copies into fixed text buffers.
#include "bounded_text.h"

size_t copyBounded(char* dest, size_t capacity, const char* source) {
    if (capacity == 0) return 0;
    size_t n = 0;
    if (source != nullptr) {
        while (n + 1 < capacity && source[n] != '\0') {
            dest[n] = source[n];
            ++n;
        }
    }
    dest[n] = '\0';
    return n;
}

size_t copyPrintable(char* dest, size_t capacity, const char* source) {
    size_t n = copyBounded(dest, capacity, source);
    for (size_t i = 0; i < n; ++i) {
        if (isControlByte(dest[i])) dest[i] = kControlReplacement;
    }
    return n;
}

size_t boundedLength(const char* text, size_t capacity) {
    size_t n = 0;
    while (n < capacity && text[n] != '\0') ++n;
    return n;
}
