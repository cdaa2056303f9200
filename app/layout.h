// Where the five controls of the main window go for a given client size.
#pragma once

#include <cstdint>

#include "ui/display_scale.h"

struct ControlRect {
    int left;
    int top;
    int width;
    int height;
};

struct ControlLayout {
    ControlRect listView;
    ControlRect addressBox;
    ControlRect startButton;
    ControlRect copyButton;
    ControlRect optionsButton;
};

// The address box takes the left half of the bar; three button slots of a seventh of the
// width follow, each button two pixels narrower than its slot and centred in the bar.
// The buttons' margins and gaps are pixels at 96 DPI, scaled to `dpi`. A minimised
// window reports 0 x 0: sizes that would come out negative are given as 0.
ControlLayout computeLayout(unsigned clientWidth, unsigned clientHeight, int barHeight, uint32_t dpi = kBaseDpi);
