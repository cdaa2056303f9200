// Pixel sizes for a display's DPI. The window's sizes are designed at 96 DPI (100 %
// scaling) and drawn at the DPI of the monitor the window is on; the settings file keeps
// sizes in 96-DPI units, so they convert both ways here.
#pragma once

#include <cstdint>

constexpr uint32_t kBaseDpi = 96;

// `pixels96` (a size at 96 DPI) at `dpi`, rounded to the nearest pixel with halves away
// from zero, as MulDiv rounds. A DPI of 0 (none known) counts as 96. Results beyond the
// 32-bit range are held at its ends.
int32_t scaleToDpi(int32_t pixels96, uint32_t dpi);

// A size measured at `dpi`, in 96-DPI units (the inverse of scaleToDpi, same rounding).
int32_t scaleFromDpi(int32_t pixels, uint32_t dpi);

// `pixels` measured at `fromDpi`, redrawn at `toDpi` (a window moved between monitors).
int32_t rescaleDpi(int32_t pixels, uint32_t fromDpi, uint32_t toDpi);

// A size kept in the settings file, to and from the window's DPI. Only a positive value
// is a size: 0 ("the default width") and negative values (the system's "default size"
// among them) are markers and pass unchanged.
int32_t savedSizeToDpi(int32_t saved96, uint32_t dpi);
int32_t savedSizeFromDpi(int32_t pixels, uint32_t dpi);
