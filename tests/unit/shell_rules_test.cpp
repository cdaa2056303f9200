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

using Ints = std::vector<int>;

// left, top, width, height
Ints rect(const ControlRect& r) { return {r.left, r.top, r.width, r.height}; }

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
        EXPECT_EQ(rect(l.listView), (Ints{0, 27, static_cast<int>(width), 373})) << width;
        EXPECT_EQ((Ints{l.addressBox.width, l.addressBox.height}), (Ints{350, 27})) << width;
        // Start, Copy and Options, each in a 100-pixel slot.
        const ControlRect buttons[] = {l.startButton, l.copyButton, l.optionsButton};
        for (int b = 0; b < 3; ++b)
            EXPECT_EQ(rect(buttons[b]), (Ints{351 + 100 * b, 2, 98, 23})) << width << " button " << b;
        EXPECT_EQ(l.optionsButton.left + l.optionsButton.width, 649);
    }
}

// At 144 DPI the margin and the gap are 3 pixels, a slot's button 2 pixels in. Saved
// sizes are 96-DPI units; 0 (default width) and negatives (the system's) never scale.
TEST(Layout, MarginsGapsAndSavedSizesFollowTheDpi) {
    EXPECT_EQ(rect(computeLayout(1050, 600, 40, 144).optionsButton), (Ints{827, 3, 147, 34}));
    EXPECT_EQ((Ints{savedSizeToDpi(600, 144), savedSizeFromDpi(900, 144), savedSizeToDpi(0, 144),
                    savedSizeFromDpi(-1, 72), savedSizeToDpi(INT32_MIN, 72)}), (Ints{900, 600, 0, -1, INT32_MIN}));
}

TEST(Layout, MinimisedWindowGivesNoNegativeSizes) {
    // list height, Start width, address width; then the Options button's left edge
    ControlLayout l = computeLayout(0, 0, 27);
    EXPECT_EQ((Ints{l.listView.height, l.startButton.width, l.addressBox.width}), (Ints{0, 0, 0}));
    ControlLayout huge = computeLayout(65535, 65535, 27);
    EXPECT_EQ((Ints{huge.listView.height, huge.optionsButton.left}), (Ints{65508, 32767 + 2 * 9362 + 1}));
}

// Shares of 1060 truncated toward zero; the list's headers and alignment are checked on
// the real list (main_window_test.cpp).
TEST(Columns, DefaultWidthsShareTheClientWidth) {
    const int32_t at800[] = {45, 113, 188, 60, 60, 60, 60, 60, 60, 60};
    for (int i = 0; i < kColumnCount; ++i) EXPECT_EQ(columnWidth(i, 0, 800), at800[i]) << i;
    // Saved widths are passed on unchanged.
    EXPECT_EQ((Ints{columnWidth(2, 33, 800), columnWidth(2, -7, 800), columnWidth(2, 0, -1060)}), (Ints{33, -7, -250}));
}
