// The program's own settings beside the designed settings file, which keeps its fixed layout: kept in
// "mervo.ini" in the program directory. Nothing in it is needed; a missing or unreadable file means defaults.
#pragma once

#include <QString>
#include <QStringList>
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

// The measurement files opened or saved last, the newest first, at most kRecentFiles.
inline constexpr int kRecentFiles = 8;
QStringList recentFiles(const QString& programDir);
// Puts `path` at the front of the list (once), or takes it out.
void noteRecentFile(const QString& programDir, const QString& path);
void forgetRecentFile(const QString& programDir, const QString& path);

// Whether the working file holds a recording that was neither saved nor declined: set when a receive starts,
// cleared by a save of the working file, by No to the save question and by a receive that recorded nothing.
bool workFileUnsaved(const QString& programDir);
void setWorkFileUnsaved(const QString& programDir, bool unsaved);
// Whether such a recording is waiting with samples in it; one without samples is forgotten.
bool unsavedRecordingWaiting(const QString& programDir);

}  // namespace mervo
