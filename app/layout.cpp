// Control-bar and list placement arithmetic.
#include "layout.h"

namespace {

// At 96 DPI: the buttons leave this much of the bar free above and below them, so they
// sit centred, and a slot holds its button with this gap, a pixel of it on the left.
constexpr int32_t kButtonMargin = 2;
constexpr int32_t kButtonGap = 2;

int atLeastZero(long long value) { return value < 0 ? 0 : static_cast<int>(value); }

}  // namespace

ControlLayout computeLayout(unsigned clientWidth, unsigned clientHeight, int barHeight, uint32_t dpi) {
    const long long w = clientWidth;
    const long long h = clientHeight;
    const long long half = w / 2;
    const long long slot = w / 7;
    const int buttonTop = scaleToDpi(kButtonMargin, dpi);
    const int gap = scaleToDpi(kButtonGap, dpi);
    const long long left = half + scaleToDpi(kButtonGap / 2, dpi);
    const int buttonWidth = atLeastZero(slot - gap);
    const int buttonHeight = atLeastZero(barHeight - 2LL * buttonTop);
    ControlLayout layout{};
    layout.listView = {0, barHeight, atLeastZero(w), atLeastZero(h - barHeight)};
    layout.addressBox = {0, 0, atLeastZero(half), atLeastZero(barHeight)};
    layout.startButton = {static_cast<int>(left), buttonTop, buttonWidth, buttonHeight};
    layout.copyButton = {static_cast<int>(left + slot), buttonTop, buttonWidth, buttonHeight};
    layout.optionsButton = {static_cast<int>(left + 2 * slot), buttonTop, buttonWidth, buttonHeight};
    return layout;
}
