// Control-bar and list placement arithmetic.
#include "layout.h"

namespace {

// The buttons leave this much of the bar free above and below them, so they sit centred.
constexpr int kButtonMargin = 2;

int atLeastZero(long long value) { return value < 0 ? 0 : static_cast<int>(value); }

}  // namespace

ControlLayout computeLayout(unsigned clientWidth, unsigned clientHeight, int barHeight) {
    const long long w = clientWidth;
    const long long h = clientHeight;
    const long long half = w / 2;
    const long long slot = w / 7;
    const int buttonTop = kButtonMargin;
    const int buttonWidth = atLeastZero(slot - 2);
    const int buttonHeight = atLeastZero(barHeight - 2 * kButtonMargin);
    ControlLayout layout{};
    layout.listView = {0, barHeight, atLeastZero(w), atLeastZero(h - barHeight)};
    layout.addressBox = {0, 0, atLeastZero(half), atLeastZero(barHeight)};
    layout.startButton = {static_cast<int>(half + 1), buttonTop, buttonWidth, buttonHeight};
    layout.copyButton = {static_cast<int>(half + slot + 1), buttonTop, buttonWidth, buttonHeight};
    layout.optionsButton = {static_cast<int>(half + 2 * slot + 1), buttonTop, buttonWidth,
                            buttonHeight};
    return layout;
}
