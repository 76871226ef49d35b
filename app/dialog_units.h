// Dialog units to pixels, as the Windows dialog manager maps a template: the base units
// come from the dialog font, a horizontal unit is a quarter of the average character
// width and a vertical unit an eighth of the character height.
#ifndef VELMORIN_APP_DIALOG_UNITS_H
#define VELMORIN_APP_DIALOG_UNITS_H

#include <cstdint>

struct DialogBaseUnits {
    int x;  // average character width, pixels
    int y;  // character height, pixels
};

// From the width of "A".."Z" followed by "a".."z" in the font, and the font's height.
constexpr DialogBaseUnits BaseUnitsFromFont(int widthOf52Letters, int height) {
    return {(widthOf52Letters / 26 + 1) / 2, height};
}

// MulDiv: the product over the divisor, rounded half away from zero.
constexpr int MulDivRounded(int value, int numerator, int denominator) {
    const int64_t product = int64_t{value} * numerator;
    const int64_t half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

constexpr int DialogUnitsToPixelsX(int units, DialogBaseUnits base) {
    return MulDivRounded(units, base.x, 4);
}
constexpr int DialogUnitsToPixelsY(int units, DialogBaseUnits base) {
    return MulDivRounded(units, base.y, 8);
}

#endif
