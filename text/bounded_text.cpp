// Bounded copies into fixed text buffers.
#include "bounded_text.h"

#include <cstdint>

namespace {

// Which bytes a copy replaces by kControlReplacement.
enum class Keep { everything, printable, ascii };

bool replaced(char c, Keep keep) {
    if (keep == Keep::everything) return false;
    return isControlByte(c) || (keep == Keep::ascii && static_cast<unsigned char>(c) > 0x7F);
}

// The one copy loop: at most capacity - 1 bytes, never more than sourceSize read.
size_t copyWithin(char* dest, size_t capacity, const char* source, size_t sourceSize, Keep keep) {
    if (capacity == 0) return 0;
    size_t n = 0;
    if (source != nullptr) {
        while (n + 1 < capacity && n < sourceSize && source[n] != '\0') {
            dest[n] = replaced(source[n], keep) ? kControlReplacement : source[n];
            ++n;
        }
    }
    dest[n] = '\0';
    return n;
}

}  // namespace

size_t copyBounded(char* dest, size_t capacity, const char* source) {
    return copyWithin(dest, capacity, source, SIZE_MAX, Keep::everything);
}

size_t copyPrintable(char* dest, size_t capacity, const char* source) {
    return copyWithin(dest, capacity, source, SIZE_MAX, Keep::printable);
}

size_t copyPrintableField(char* dest, size_t capacity, const char* source, size_t sourceSize) {
    return copyWithin(dest, capacity, source, sourceSize, Keep::printable);
}

size_t copyHostName(char* dest, size_t capacity, const char* source) {
    return copyWithin(dest, capacity, source, SIZE_MAX, Keep::ascii);
}
