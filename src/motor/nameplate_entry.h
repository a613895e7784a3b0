// The motor window's entries, checked before anything is taken over: the catalogue code and a typed nameplate.
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

// A typed nameplate: every value a number a float holds. A refusal names the value and sets `field` (0..6).
Result<std::array<float, 7>> checkNameplateTexts(const std::array<QString, 7>& texts, int* field);

}  // namespace mervo
