// The settings window's text fields as its OK takes them over: every field is checked before anything is.
#pragma once

#include <QString>
#include <array>

#include "shared/result.h"

namespace mervo {

enum class SettingsField { CTRatio, PTRatio, Hours, Minutes, Seconds };

struct SettingsTexts {
    QString ct, pt;
    std::array<QString, 3> duration;  // hours, minutes, seconds; an empty one counts as 0
};

struct SettingsEntry {
    float CTRatio = 1, PTRatio = 1;
    float TotalTime = 0;  // seconds
};

// The ratios must be numbers above zero, the duration parts numbers not below zero that add up to at least
// one second and no more than a float holds. A refusal says why (without the closing request to type again)
// and sets `field` to the field the cursor belongs in.
Result<SettingsEntry> checkSettingsTexts(const SettingsTexts& texts, SettingsField* field);

}  // namespace mervo
