// History slots, the settings path and the Options field rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "settings/history.h"
#include "settings/profile_value.h"
#include "settings/settings_path.h"
#include "ui/options_rules.h"

namespace {

class History : public ::testing::Test {
protected:
    void SetUp() override { std::memset(slots, 0, sizeof slots); }

    void fill(int count) {
        std::memset(slots, 0, sizeof slots);
        for (int i = 0; i < count; ++i) std::snprintf(slots[i], kHistorySlotSize, "host%d", i);
    }

    std::vector<std::string> contents() const {
        std::vector<std::string> out;
        for (const auto& slot : slots) out.emplace_back(slot);
        return out;
    }

    // A whole history: `held`, then empty slots.
    static std::vector<std::string> padded(std::vector<std::string> held) { held.resize(kHistorySlots); return held; }
    // A full history after `front` was remembered: `front`, host0..host15 less `removed`.
    static std::vector<std::string> shifted(const char* front, std::vector<int> removed) {
        std::vector<std::string> out{front};
        for (int i = 0; i < kHistorySlots; ++i)
            if (std::count(removed.begin(), removed.end(), i) == 0) out.push_back("host" + std::to_string(i));
        return padded(out);
    }

    HistorySlots slots;
};

std::string pathFor(const char* module) {
    char out[kSettingsPathSize];
    std::memset(out, 'X', sizeof out);
    settingsPathFor(module, out, sizeof out);
    return out;
}

}  // namespace

TEST_F(History, PresetHoldsTheDefaultHostAlone) {
    presetHistory(slots);
    EXPECT_EQ(contents(), padded({kDefaultTargetHost}));
}

// A full history, a slot or two renamed, then the address remembered and the slots it removed.
TEST_F(History, RememberedAddressMovesToTheFrontAndEveryDuplicateGoes) {
    using Slots = std::vector<std::pair<int, const char*>>;  // a slot and its new text
    const struct { Slots renamed; const char* address; std::vector<int> removed; } cases[] = {
        {{{3, "Router.Example"}}, "router.EXAMPLE", {3}},  // the same address in another case
        {{}, "host15", {15}},                              // the oldest, moved up without loss
        {{}, "new", {15}},                                 // a new one drops the oldest
        {{{4, "dup"}, {9, "DUP"}}, "Dup", {4, 9}},         // both go; the last slot is left empty
    };
    for (const auto& c : cases) {
        fill(16);
        for (const auto& slot : c.renamed) std::strcpy(slots[slot.first], slot.second);
        rememberAddress(slots, c.address);
        EXPECT_EQ(contents(), shifted(c.address, c.removed)) << c.address;
    }
}

TEST_F(History, LeadingSpaceMakesADifferentEntry) {
    fill(2);
    rememberAddress(slots, " host1");
    EXPECT_EQ(contents(), padded({" host1", "host0", "host1"}));
}

TEST_F(History, HolesMoveAlongWithTheirSlots) {
    std::strcpy(slots[0], "a");
    std::strcpy(slots[2], "b");
    std::strcpy(slots[5], "c");
    rememberAddress(slots, "b");
    EXPECT_EQ(contents(), padded({"b", "a", "", "", "", "c"}));
}

TEST_F(History, LongAndControlCharacterAddressesAreStoredSafely) {
    std::string longAddress(300, 'L');
    rememberAddress(slots, longAddress.c_str());
    EXPECT_EQ(std::string(slots[0]), std::string(255, 'L'));
    rememberAddress(slots, longAddress.c_str());  // the same long address does not stand twice
    EXPECT_STREQ(slots[1], "");
    rememberAddress(slots, "a\r\n[Options]\r\nMaxHops=1");
    EXPECT_STREQ(slots[0], "a??[Options]??MaxHops=1");
}

// Module path, then the settings path it gives.
TEST(SettingsPath, ExtensionBecomesIniNeverTheExecutableNorInsideADirectoryName) {
    const char* const paths[][2] = {
        {"D:\\Tools\\trace.exe", "D:\\Tools\\trace.ini"}, {"C:\\Tools\\trace", "C:\\Tools\\trace.ini"},
        {"D:\\Net.Tools\\ping.tool.exe", "D:\\Net.Tools\\ping.tool.ini"}, {"trace.", "trace.ini"},
        {"D:\\Net.Tools\\trace", "D:\\Net.Tools\\trace.ini"}, {"/opt/my.apps/trace", "/opt/my.apps/trace.ini"},
        {"C:\\odd\\trace.INI", "C:\\odd\\trace.INI.ini"}};
    for (const auto& path : paths) EXPECT_EQ(pathFor(path[0]), path[1]) << path[0];
}

TEST(SettingsPath, TooLongGivesNothing) {
    EXPECT_EQ(pathFor(std::string(kSettingsPathSize - 2, 'p').c_str()), "");
    std::string fits(kSettingsPathSize - 5, 'p');
    EXPECT_EQ(pathFor(fits.c_str()), fits + ".ini");
}

// Two spellings of one path share a lock; another file, or a longer path, has its own;
// the name holds no backslash.
TEST(SettingsPath, LockNameMeetsForTwoSpellingsOfOnePath) {
    auto lockName = [](const char* path) {
        char name[kSettingsLockNameSize];
        settingsLockName(path, name);
        return std::string(name);
    };
    const std::string lock = lockName("C:\\Tools\\Trace.ini");
    EXPECT_EQ(lockName("c:\\TOOLS\\trace.INI"), lock);
    EXPECT_NE(lockName("C:\\Tools\\Trace2.ini"), lock);
    EXPECT_NE(lockName(std::string(kSettingsPathSize - 1, 'p').c_str()), lock);
    EXPECT_EQ(lock.find('\\'), std::string::npos);
}

// A written value, then what the profile functions read back (as Wine 8 does).
TEST(SettingsPath, ReadBackFormTrimsBlanksThenOneMatchingPairOfQuotes) {
    const char* const values[][2] = {{" a\t", "a"}, {"'x'", "x"}, {"\"\"x\"\"", "\"x\""}, {" \t'q' ", "q"},
                                     {"\"x", "\"x"}, {"'x\"", "'x\""}, {"\"", "\""}, {"a b", "a b"}, {"  ", ""}};
    for (const auto& value : values) {
        char read[8];
        profileReadForm(value[0], read, sizeof read);
        EXPECT_STREQ(read, value[1]) << value[0];
    }
}

// Field text, then the value read from it.
using FieldCase = std::pair<const char*, int32_t>;

TEST(OptionsRules, FieldReading) {
    const FieldCase cases[] = {
        {"", 0}, {"abc", 0}, {"12abc", 12}, {" 7", 7}, {"\t+42", 42}, {"-3", -3}, {"- 3", 0},
        {"99999999999999999999999", INT32_MAX}, {"-99999999999999999999999", INT32_MIN},
        {"-2147483648", INT32_MIN}, {"4294967306", INT32_MAX} /* not wrapped to 10 */};
    for (const FieldCase& c : cases) EXPECT_EQ(readFieldInteger(c.first), c.second) << "\"" << c.first << "\"";
}

TEST(OptionsRules, ClampingIntoTheDialogRanges) {
    // A field's range, then its text and the value it is held to.
    const std::pair<OptionRange, std::vector<FieldCase>> fields[] = {
        {kTimeoutRange, {{"5", 10}, {"10", 10}, {"20000", 20000}, {"25000", 20000}, {"", 10}}},
        {kPacketSizeRange, {{"0", 4}, {"4096", 4096}, {"5000", 4096}}},
        {kMaxHopsRange, {{"-3", 1}, {"abc", 1}, {"12abc", 12}, {" 7", 7}, {"250", 200}, {"99999999999", 200},
                         {"-99999999999", 1}}}};
    for (const auto& field : fields) {
        for (const FieldCase& c : field.second) {
            EXPECT_EQ(clampOption(readFieldInteger(c.first), field.first.low, field.first.high), c.second)
                << field.first.low << ".." << field.first.high << ": \"" << c.first << "\"";
        }
    }
}
