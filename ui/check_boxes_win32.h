// The results list's check boxes at the window's DPI. The list view makes its own at the
// system's DPI when it is created and keeps them when the window moves to a monitor of
// another DPI; where the size must change, boxes drawn at the new size replace them.
// Win32 only.
#pragma once

#include <windows.h>

#include <cstdint>

// The boxes of `list`, of a size fit for `fromDpi`, scaled to `toDpi`: when the size
// changes, a new state image list of a clear and a ticked box (state images 1 and 2)
// takes the old one's place and the old one is destroyed. `commonControls` is the loaded
// library that holds the image list calls; without it the list keeps its boxes.
void scaleCheckBoxes(HWND list, HMODULE commonControls, uint32_t fromDpi, uint32_t toDpi);
