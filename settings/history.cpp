// Address history slot rules.
#include "history.h"

#include <cstring>

#include "text/ascii_case.h"
#include "text/bounded_text.h"

const char* const kDefaultTargetHost = "one.one.one.one";

namespace {

void removeSlot(HistorySlots& history, int slot) {
    for (int n = slot; n + 1 < kHistorySlots; ++n) std::memcpy(history[n], history[n + 1], kHistorySlotSize);
    std::memset(history[kHistorySlots - 1], 0, kHistorySlotSize);
}

}  // namespace

void presetHistory(HistorySlots& history) {
    std::memset(history, 0, sizeof history);
    copyBounded(history[0], kDefaultTargetHost);
}

bool sameAddress(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (foldAscii(*a) != foldAscii(*b)) return false;
    }
    return *a == *b;
}

void rememberAddress(HistorySlots& history, const char* address) {
    // Compare with the text as it would be stored, so that a re-entered long or odd
    // address replaces its earlier entry instead of standing twice.
    char entry[kHistorySlotSize];
    copyPrintable(entry, address);
    for (int slot = 0; slot < kHistorySlots;) {
        if (history[slot][0] != '\0' && sameAddress(history[slot], entry)) {
            removeSlot(history, slot);
        } else {
            ++slot;
        }
    }
    std::memmove(history[1], history[0], (kHistorySlots - 1) * kHistorySlotSize);
    std::memcpy(history[0], entry, kHistorySlotSize);
}
