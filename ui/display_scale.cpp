// DPI scaling arithmetic.
#include "display_scale.h"

namespace {

// value * numerator / denominator, rounded half away from zero, held to 32 bits.
int32_t mulDivRounded(int32_t value, uint32_t numerator, uint32_t denominator) {
    if (denominator == 0) denominator = kBaseDpi;
    if (numerator == 0) numerator = kBaseDpi;
    const int64_t product = static_cast<int64_t>(value) * numerator;
    const int64_t half = denominator / 2;
    const int64_t rounded = product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    if (rounded > INT32_MAX) return INT32_MAX;
    if (rounded < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(rounded);
}

}  // namespace

int32_t scaleToDpi(int32_t pixels96, uint32_t dpi) { return mulDivRounded(pixels96, dpi, kBaseDpi); }

int32_t scaleFromDpi(int32_t pixels, uint32_t dpi) { return mulDivRounded(pixels, kBaseDpi, dpi); }

int32_t rescaleDpi(int32_t pixels, uint32_t fromDpi, uint32_t toDpi) {
    return mulDivRounded(pixels, toDpi, fromDpi);
}

int32_t savedSizeToDpi(int32_t saved96, uint32_t dpi) { return saved96 > 0 ? scaleToDpi(saved96, dpi) : saved96; }

int32_t savedSizeFromDpi(int32_t pixels, uint32_t dpi) { return pixels > 0 ? scaleFromDpi(pixels, dpi) : pixels; }
