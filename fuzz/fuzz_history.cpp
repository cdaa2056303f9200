// Fuzzes the history rules: random sequences of addresses against a model of 16 slots.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings/history.h"

namespace {

std::string fold(const std::string& s) {
    std::string out = s;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

std::string stored(const std::string& address) {
    std::string s = address.substr(0, kHistorySlotSize - 1);
    for (char& c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = '?';
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static HistorySlots slots;
    std::vector<std::string> model(kHistorySlots);
    presetHistory(slots);
    model[0] = kDefaultTargetHost;
    // Addresses are separated by zero bytes; a byte 0x01 alone punches a hole (an empty
    // slot as a hand-edited file can leave) at the position given by the next byte.
    size_t at = 0;
    while (at < size) {
        size_t end = at;
        while (end < size && data[end] != 0) ++end;
        std::string address(reinterpret_cast<const char*>(data + at), end - at);
        at = end + 1;
        if (address.size() == 2 && address[0] == '\x01') {
            int slot = static_cast<unsigned char>(address[1]) % kHistorySlots;
            slots[slot][0] = '\0';
            model[slot].clear();
            continue;
        }
        if (address.empty()) continue;
        rememberAddress(slots, address.c_str());
        std::string entry = stored(address.c_str());
        std::vector<std::string> next;
        for (const std::string& s : model) {
            if (s.empty() || fold(s) != fold(entry)) next.push_back(s);
        }
        next.insert(next.begin(), entry);
        next.resize(kHistorySlots);
        model = next;
        for (int i = 0; i < kHistorySlots; ++i) {
            if (std::memchr(slots[i], 0, kHistorySlotSize) == nullptr) std::abort();
            if (model[i] != slots[i]) std::abort();
        }
    }
    return 0;
}
