// Command-line option, control layout and column widths.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/layout.h"
#include "ui/column_layout.h"

namespace {

std::string addressOf(const char* commandLine) {
    char address[kCommandLineAddressSize];
    std::memset(address, 'X', sizeof address);
    readAddressOption(commandLine, address);
    return address;
}

// left, top, width, height
std::vector<int> rect(const ControlRect& r) { return {r.left, r.top, r.width, r.height}; }

}  // namespace

TEST(FindNoCase, FoldsOnlyAsciiLettersAndFindsTheFirstOccurrence) {
    const char* text = "run /IP:a /ip:b";
    EXPECT_EQ(findNoCase(text, "/ip:"), text + 4);
    EXPECT_EQ(findNoCase(text, ""), text);
    EXPECT_EQ(findNoCase("abc", "abcd"), nullptr);
    EXPECT_EQ(findNoCase("", "a"), nullptr);
    EXPECT_EQ(findNoCase("[", "{"), nullptr);  // '[' is not a folded '{'
    EXPECT_EQ(findNoCase("\xC4", "\xE4"), nullptr);
    const char* overlap = "aaab";
    EXPECT_EQ(findNoCase(overlap, "AAB"), overlap + 1);
}

TEST(AddressOption, ValueForms) {
    // Command line, then the address it gives.
    const char* const forms[][2] = {
        {"/ip:10.0.0.1", "10.0.0.1"}, {"/IP:Host", "Host"}, {"/iP:host", "host"},
        {"/ip:\"my host\" more", "my host"}, {"/ip:\"my host", "my host"}, {"/ip:a b", "a"},
        {"/ip:a\tb c", "a\tb"}, {"/ip: a", ""}, {"/ip:", ""}, {"/ip:\"\" x", ""},
        {"x/ip:inner", "inner"}, {"/ip:first /ip:second", "first"}, {"-v /nothing", ""},
    };
    for (const auto& form : forms) EXPECT_EQ(addressOf(form[0]), form[1]) << form[0];
}

TEST(AddressOption, LongValuesAreCutAt255) {
    std::string line = "/ip:" + std::string(10000, 'h');
    EXPECT_EQ(addressOf(line.c_str()), std::string(255, 'h'));
    line = "/ip:\"" + std::string(300, 'q') + "\"";
    EXPECT_EQ(addressOf(line.c_str()), std::string(255, 'q'));
}

TEST(Layout, SevenHundredPixelsWide) {
    for (unsigned width : {700u, 701u}) {
        ControlLayout l = computeLayout(width, 400, 27);
        EXPECT_EQ(rect(l.listView), (std::vector<int>{0, 27, static_cast<int>(width), 373})) << width;
        EXPECT_EQ(l.addressBox.width, 350);
        EXPECT_EQ(l.addressBox.height, 27);
        EXPECT_EQ(rect(l.startButton), (std::vector<int>{351, 2, 98, 23})) << width;
        EXPECT_EQ(rect(l.copyButton), (std::vector<int>{451, 2, 98, 23})) << width;
        EXPECT_EQ(rect(l.optionsButton), (std::vector<int>{551, 2, 98, 23})) << width;
        EXPECT_EQ(l.optionsButton.left + l.optionsButton.width, 649);
    }
}

// At 144 DPI the margin and the gap are 3 pixels, a slot's button 2 pixels in. Saved
// sizes are 96-DPI units; 0 (default width) and negatives (the system's) never scale.
TEST(Layout, MarginsGapsAndSavedSizesFollowTheDpi) {
    EXPECT_EQ(rect(computeLayout(1050, 600, 40, 144).optionsButton), (std::vector<int>{827, 3, 147, 34}));
    EXPECT_EQ((std::vector<int>{savedSizeToDpi(600, 144), savedSizeFromDpi(900, 144), savedSizeToDpi(0, 144),
                                savedSizeFromDpi(-1, 72), savedSizeToDpi(INT32_MIN, 72)}),
              (std::vector<int>{900, 600, 0, -1, INT32_MIN}));
}

TEST(Layout, MinimisedWindowGivesNoNegativeSizes) {
    ControlLayout l = computeLayout(0, 0, 27);
    EXPECT_EQ(l.listView.height, 0);
    EXPECT_EQ(l.startButton.width, 0);
    EXPECT_EQ(l.addressBox.width, 0);
    ControlLayout huge = computeLayout(65535, 65535, 27);
    EXPECT_EQ(huge.listView.height, 65508);
    EXPECT_EQ(huge.optionsButton.left, 32767 + 2 * 9362 + 1);
}

// Shares of 1060 truncated toward zero; the list's headers and alignment are checked on
// the real list (main_window_test.cpp).
TEST(Columns, DefaultWidthsShareTheClientWidth) {
    const int32_t at800[] = {45, 113, 188, 60, 60, 60, 60, 60, 60, 60};
    for (int i = 0; i < kColumnCount; ++i) EXPECT_EQ(columnWidth(i, 0, 800), at800[i]) << i;
    EXPECT_EQ(columnWidth(2, 33, 800), 33);
    EXPECT_EQ(columnWidth(2, -7, 800), -7);  // saved widths are passed on unchanged
    EXPECT_EQ(columnWidth(2, 0, -1060), -250);
}
