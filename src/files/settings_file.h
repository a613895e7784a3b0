// The nine persisted settings: mervo.dft in the program directory, one number per line, CR LF.
#pragma once

#include <QString>
#include <array>

#include "platform/files.h"
#include "shared/result.h"
#include "shared/shared_state.h"

namespace mervo {

// What reading the file found: per line, whether its value was taken or the initial value stood in.
struct SettingsReadReport {
    bool fileFound = false;
    QString unreadable;  // why a file that is there could not be read (a folder, no permission), else empty
    std::array<bool, 9> lineUsed{};
    int fallbacks() const;
    // What the operator is told about a file that was there but not wholly usable, or nothing.
    QString problem() const;
};

// Reads the file into `settings` and `totalTime` (line 3 fills both TotalTime and TotalTimeSetting).
// A missing file, a short file or a value that is not a usable number never stops the reader: each such line
// falls back to the settings window's initial value (port 1, curve 0, 10 s, ratios 1, segment 5, channels on).
SettingsReadReport readSettingsFile(const QString& path, SettingsValues& settings, float& totalTime);

// The nine lines exactly as stored: " 1\r\n 0\r\n 10\r\n ..." .
QByteArray formatSettings(const SettingsValues& settings);

// Replaces the file atomically: the old file stays whole until the new one is completely on disk.
Status writeSettingsFile(const QString& path, const SettingsValues& settings, FileSystem& fs = systemFileSystem());

}  // namespace mervo
