// The read-back form of a profile value.
#include "settings/profile_value.h"

#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void profileReadForm(const char* written, char* out, size_t capacity) {
    if (capacity == 0) return;
    size_t start = 0;
    size_t end = std::strlen(written);
    while (start < end && isBlank(written[start])) ++start;
    while (end > start && isBlank(written[end - 1])) --end;
    const char first = written[start];
    if (end - start >= 2 && (first == '"' || first == '\'') && written[end - 1] == first) {
        ++start;
        --end;
    }
    size_t length = end - start;
    if (length > capacity - 1) length = capacity - 1;
    std::memcpy(out, written + start, length);
    out[length] = '\0';
}
