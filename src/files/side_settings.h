// The program's own settings beside the designed settings file, which keeps its fixed layout: kept in
// "mervo.ini" in the program directory. Nothing in it is needed; a missing or unreadable file means defaults.
#pragma once

#include <QString>
#include <optional>

namespace mervo {

// The organisation and device texts of the last printout.
struct PrintedTexts {
    QString organisation, device;
};

QString sideSettingsPath(const QString& programDir);
// What was last printed from `programDir`; nothing before the first printout.
std::optional<PrintedTexts> lastPrintedTexts(const QString& programDir);
void rememberPrintedTexts(const QString& programDir, const PrintedTexts& texts);

}  // namespace mervo
