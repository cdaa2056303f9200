// History slots, the settings path and the Options field rules.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "settings/history.h"
#include "settings/settings_path.h"
#include "ui/options_rules.h"

namespace {

class History : public ::testing::Test {
protected:
    void SetUp() override { std::memset(slots, 0, sizeof slots); }

    void fill(int count) {
        for (int i = 0; i < count; ++i) std::snprintf(slots[i], kHistorySlotSize, "host%d", i);
    }

    std::vector<std::string> contents() const {
        std::vector<std::string> out;
        for (const auto& slot : slots) out.emplace_back(slot);
        return out;
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
    EXPECT_STREQ(slots[0], kDefaultTargetHost);
    for (int i = 1; i < kHistorySlots; ++i) EXPECT_STREQ(slots[i], "");
}

TEST_F(History, SameAddressInOtherCaseMovesToTheFront) {
    fill(16);
    std::strcpy(slots[3], "Router.Example");
    rememberAddress(slots, "router.EXAMPLE");
    EXPECT_EQ(contents(), (std::vector<std::string>{"router.EXAMPLE", "host0", "host1", "host2", "host4", "host5",
                                                    "host6", "host7", "host8", "host9", "host10", "host11",
                                                    "host12", "host13", "host14", "host15"}));
}

TEST_F(History, OldestEntryMovesUpWithoutLoss) {
    fill(16);
    rememberAddress(slots, "host15");
    EXPECT_STREQ(slots[0], "host15");
    for (int i = 1; i < 16; ++i) EXPECT_EQ(contents()[i], "host" + std::to_string(i - 1));
}

TEST_F(History, NewAddressDropsTheOldestOfAFullHistory) {
    fill(16);
    rememberAddress(slots, "new");
    EXPECT_STREQ(slots[0], "new");
    EXPECT_STREQ(slots[15], "host14");
}

TEST_F(History, LeadingSpaceMakesADifferentEntry) {
    fill(2);
    rememberAddress(slots, " host1");
    EXPECT_EQ(contents()[0], " host1");
    EXPECT_EQ(contents()[2], "host1");
}

TEST_F(History, EveryDuplicateIsRemoved) {
    fill(16);
    std::strcpy(slots[4], "dup");
    std::strcpy(slots[9], "DUP");
    rememberAddress(slots, "Dup");
    // Both slots were removed, host4's and host9's; the last slot is left empty.
    EXPECT_EQ(contents(), (std::vector<std::string>{"Dup", "host0", "host1", "host2", "host3", "host5", "host6",
                                                    "host7", "host8", "host10", "host11", "host12", "host13",
                                                    "host14", "host15", ""}));
}

TEST_F(History, HolesMoveAlongWithTheirSlots) {
    std::strcpy(slots[0], "a");
    std::strcpy(slots[2], "b");
    std::strcpy(slots[5], "c");
    rememberAddress(slots, "b");
    EXPECT_EQ(contents(), (std::vector<std::string>{"b", "a", "", "", "", "c", "", "", "", "", "", "", "", "", "",
                                                    ""}));
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
TEST(SettingsPath, ExtensionBecomesIni) {
    const char* const paths[][2] = {{"D:\\Tools\\trace.exe", "D:\\Tools\\trace.ini"},
                                    {"D:\\Net.Tools\\ping.tool.exe", "D:\\Net.Tools\\ping.tool.ini"}};
    for (const auto& path : paths) EXPECT_EQ(pathFor(path[0]), path[1]) << path[0];
}

TEST(SettingsPath, NeverTheExecutableNorInsideADirectoryName) {
    const char* const paths[][2] = {
        {"C:\\Tools\\trace", "C:\\Tools\\trace.ini"}, {"D:\\Net.Tools\\trace", "D:\\Net.Tools\\trace.ini"},
        {"/opt/my.apps/trace", "/opt/my.apps/trace.ini"}, {"trace.", "trace.ini"},
        {"C:\\odd\\trace.INI", "C:\\odd\\trace.INI.ini"}};
    for (const auto& path : paths) EXPECT_EQ(pathFor(path[0]), path[1]) << path[0];
}

TEST(SettingsPath, TooLongGivesNothing) {
    std::string module(kSettingsPathSize - 2, 'p');
    EXPECT_EQ(pathFor(module.c_str()), "");
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

TEST(OptionsRules, FieldReading) {
    EXPECT_EQ(readFieldInteger(""), 0);
    EXPECT_EQ(readFieldInteger("abc"), 0);
    EXPECT_EQ(readFieldInteger("12abc"), 12);
    EXPECT_EQ(readFieldInteger(" 7"), 7);
    EXPECT_EQ(readFieldInteger("\t+42"), 42);
    EXPECT_EQ(readFieldInteger("-3"), -3);
    EXPECT_EQ(readFieldInteger("- 3"), 0);
    EXPECT_EQ(readFieldInteger("99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(readFieldInteger("-99999999999999999999999"), INT32_MIN);
    EXPECT_EQ(readFieldInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(readFieldInteger("4294967306"), INT32_MAX);  // not wrapped to 10
}

TEST(OptionsRules, ClampingIntoTheDialogRanges) {
    auto timeout = [](const char* t) { return clampOption(readFieldInteger(t), kTimeoutRange.low, kTimeoutRange.high); };
    auto size = [](const char* t) { return clampOption(readFieldInteger(t), kPacketSizeRange.low, kPacketSizeRange.high); };
    auto hops = [](const char* t) { return clampOption(readFieldInteger(t), kMaxHopsRange.low, kMaxHopsRange.high); };
    EXPECT_EQ(timeout("5"), 10);
    EXPECT_EQ(timeout("10"), 10);
    EXPECT_EQ(timeout("20000"), 20000);
    EXPECT_EQ(timeout("25000"), 20000);
    EXPECT_EQ(timeout(""), 10);
    EXPECT_EQ(size("0"), 4);
    EXPECT_EQ(size("4096"), 4096);
    EXPECT_EQ(size("5000"), 4096);
    EXPECT_EQ(hops("-3"), 1);
    EXPECT_EQ(hops("abc"), 1);
    EXPECT_EQ(hops("12abc"), 12);
    EXPECT_EQ(hops(" 7"), 7);
    EXPECT_EQ(hops("250"), 200);
    EXPECT_EQ(hops("99999999999"), 200);
    EXPECT_EQ(hops("-99999999999"), 1);
}
