// Bounded copies into fixed text buffers.
#include "bounded_text.h"

#include <cstdint>

namespace {

// The one copy loop: at most capacity - 1 bytes, never more than sourceSize read.
size_t copyWithin(char* dest, size_t capacity, const char* source, size_t sourceSize, bool printable) {
    if (capacity == 0) return 0;
    size_t n = 0;
    if (source != nullptr) {
        while (n + 1 < capacity && n < sourceSize && source[n] != '\0') {
            dest[n] = printable && isControlByte(source[n]) ? kControlReplacement : source[n];
            ++n;
        }
    }
    dest[n] = '\0';
    return n;
}

}  // namespace

size_t copyBounded(char* dest, size_t capacity, const char* source) {
    return copyWithin(dest, capacity, source, SIZE_MAX, false);
}

size_t copyPrintable(char* dest, size_t capacity, const char* source) {
    return copyWithin(dest, capacity, source, SIZE_MAX, true);
}

size_t copyPrintableField(char* dest, size_t capacity, const char* source, size_t sourceSize) {
    return copyWithin(dest, capacity, source, sourceSize, true);
}
