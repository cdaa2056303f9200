// Fuzzes the settings path rule: never the executable itself, never cut in a directory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string>

#include "settings/settings_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string module(reinterpret_cast<const char*>(data), size);
    module = module.c_str();
    char out[kSettingsPathSize + 8];
    std::memset(out, 0x33, sizeof out);
    settingsPathFor(module.c_str(), out, kSettingsPathSize);
    for (size_t i = kSettingsPathSize; i < sizeof out; ++i) {
        if (out[i] != 0x33) std::abort();
    }
    std::string path = out;
    if (path.empty()) {
        if (module.size() + 4 < kSettingsPathSize - 1 && module.find('.') == std::string::npos) std::abort();
        return 0;
    }
    if (strcasecmp(path.c_str(), module.c_str()) == 0) std::abort();  // the file system ignores case
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".ini") != 0) std::abort();
    // Everything up to the file name is kept as it was.
    size_t slash = module.find_last_of("\\/");
    size_t dir = slash == std::string::npos ? 0 : slash + 1;
    if (path.compare(0, dir, module, 0, dir) != 0) std::abort();
    if (path.find_first_of("\\/", dir) != std::string::npos) std::abort();
    return 0;
}
