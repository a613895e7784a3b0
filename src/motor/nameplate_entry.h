// The motor window's entries, checked before anything is taken over: the catalogue code and a typed nameplate;
// and the text a nameplate value is shown in.
#pragma once

#include <QString>
#include <array>

#include "shared/result.h"

namespace mervo {

// The names of the seven nameplate values in header order, as the window labels them.
extern const char* const kNameplateNames[7];

// The failure code of a code outside 0..6935, after which the window clears the data it shows.
constexpr int kCodeOutOfRange = 1;

// The code box: a whole number from 0 (a nameplate typed in) to 6935 (a catalogue motor).
Result<int> checkMotorCode(const QString& text);

// A nameplate value as the operator reads it: the fewest digits that give it back, and of a catalogue number the
// catalogue's own figure ("88.3" for the 88.30078 its three bytes hold, "0.45" for 0.4499969).
QString nameplateValueText(float v);

// A typed nameplate: every value a number a float holds. A refusal names the value and sets `field` (0..6).
// Where the fields were filled from `shown` by nameplateValueText, a text still as it was gives that value
// itself, so fields confirmed untouched confirm the very nameplate they show.
Result<std::array<float, 7>> checkNameplateTexts(const std::array<QString, 7>& texts, int* field,
                                                 const std::array<float, 7>* shown = nullptr);

}  // namespace mervo
