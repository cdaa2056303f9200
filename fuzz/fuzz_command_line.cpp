// Fuzzes the case-blind search and the /ip: option reader against a plain reference.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/command_line.h"

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Straightforward quadratic search, the reference for findNoCase.
const char* referenceFind(const char* text, const char* pattern) {
    size_t n = std::strlen(text), m = std::strlen(pattern);
    for (size_t start = 0; start + m <= n; ++start) {
        size_t i = 0;
        while (i < m && upper(text[start + i]) == upper(pattern[i])) ++i;
        if (i == m) return text + start;
    }
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // First byte: where the text ends and the pattern begins.
    size_t split = data[0] % size;
    std::string text(reinterpret_cast<const char*>(data + 1), split > 0 ? split - 1 : 0);
    std::string pattern(reinterpret_cast<const char*>(data) + (split > 0 ? split : 1),
                        size - (split > 0 ? split : 1));
    text = text.c_str();  // stop at an embedded zero, as a command line would
    pattern = pattern.c_str();
    if (findNoCase(text.c_str(), pattern.c_str()) != referenceFind(text.c_str(), pattern.c_str())) {
        std::abort();
    }

    char address[kCommandLineAddressSize + 16];
    std::memset(address, 0x55, sizeof address);
    readAddressOption(text.c_str(), *reinterpret_cast<char(*)[kCommandLineAddressSize]>(address));
    size_t length = std::strlen(address);
    if (length >= kCommandLineAddressSize) std::abort();
    for (size_t i = kCommandLineAddressSize; i < sizeof address; ++i) {
        if (address[i] != 0x55) std::abort();
    }
    // The value is a piece of the command line that follows the option.
    const char* option = referenceFind(text.c_str(), "/ip:");
    if (option == nullptr ? length != 0 : std::strstr(option + 4, address) == nullptr) std::abort();
    // A quoted value ends at its closing quote, so it never holds one.
    if (option != nullptr && option[4] == '"' && std::strchr(address, '"') != nullptr) std::abort();
    return 0;
}
