// The program's own settings beside the designed settings file, which keeps its fixed layout: kept in
// "mervo.ini" in the program directory. Nothing in it is needed; a missing or unreadable file means defaults.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <map>
#include <optional>
#include <utility>
#include <vector>

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

// The nameplate last confirmed in the motor window, which the next receive records, with its catalogue code (0 for
// one typed in), so that a restart does not forget it.
struct ConfirmedNameplate {
    std::array<float, 7> values{};
    int code = 0;
};
// Nothing when none is kept, or when what is kept is not a complete nameplate (seven non-zero numbers and a code
// of the catalogue's range).
std::optional<ConfirmedNameplate> confirmedNameplate(const QString& programDir);
// Keeps `nameplate`, or forgets the one kept (nothing).
void rememberConfirmedNameplate(const QString& programDir, const std::optional<ConfirmedNameplate>& nameplate);

// What the export window was last told: a row per sample or per interval, the interval in seconds, the
// spreadsheet form. The interval is whatever number was kept; the window judges it.
struct ExportChoices {
    bool perInterval = false;
    double intervalSeconds = 1;
    bool spreadsheet = false;
};
ExportChoices lastExportChoices(const QString& programDir);
void rememberExportChoices(const QString& programDir, const ExportChoices& choices);

// Whether a receive whose instrument goes away waits for it to come back (设置 → 断开后等待重新连接); off until
// the operator turns it on.
bool reconnectAfterLoss(const QString& programDir);
void rememberReconnectAfterLoss(const QString& programDir, bool on);

// The reactive economic equivalent K_Q and the target power factor the motor assessment was last run with;
// nothing for one never kept or kept as no number. The window judges them and has the defaults.
struct AssessmentChoices {
    std::optional<double> kq, targetPowerFactor;
};
AssessmentChoices lastAssessmentChoices(const QString& programDir);
void rememberAssessmentChoices(const QString& programDir, double kq, double targetPowerFactor);

// The savings inputs of the assessment window: operating hours a year, energy price, CO₂ factor, demand window
// and step in minutes, the time-of-use periods in their text form ("HH:MM-HH:MM=NAME@PRICE;…", empty for one
// price) and the prices typed for candidate motors by their key. A number never kept or kept as no number is
// nothing, and so is a motor price that is not a number; the window judges the rest and has the defaults.
struct SavingsChoices {
    std::optional<double> hours, price, co2, demandMinutes, demandStepMinutes;
    QString periods;
    std::map<QString, double> motorPrices;
};
SavingsChoices lastSavingsChoices(const QString& programDir);
void rememberSavingsChoices(const QString& programDir, const SavingsChoices& choices);

// How the trend window showed a measurement, so that it comes back as the operator left it: the panels shown and
// their heights, fixed value axes (each panel's range), elapsed time or time of day, the visible span, and where
// the legends stand. A file never shown has the default: every panel, free axes, elapsed time, the whole file.
struct TrendView {
    static constexpr int kPanels = 5;
    std::array<bool, kPanels> panels{{true, true, true, true, true}};
    std::vector<int> heights;                        // empty: as laid out
    bool fixedAxes = false;
    std::vector<std::pair<double, double>> axes;     // each panel's value range while fixed
    int timeMode = 0;                                // 0 elapsed, 1 time of day
    double start = 0, end = 0;                       // seconds from the start; end <= start: the whole file
    int legend = 0;                                  // 0 in the panel, 1 beside it, 2 hidden
    bool operator==(const TrendView& o) const {
        return panels == o.panels && heights == o.heights && fixedAxes == o.fixedAxes && axes == o.axes &&
               timeMode == o.timeMode && start == o.start && end == o.end && legend == o.legend;
    }
};
// The views of the files shown last, the newest first, at most this many.
inline constexpr int kRememberedViews = 50;
// The view kept for `measurement` (by its absolute path); nothing for a file not kept.
std::optional<TrendView> trendView(const QString& programDir, const QString& measurement);
void rememberTrendView(const QString& programDir, const QString& measurement, const TrendView& view);
void forgetTrendView(const QString& programDir, const QString& measurement);

// Whether the working file holds a recording that was neither saved nor declined: set when a receive starts,
// cleared by a save of the working file, by No to the save question and by a receive that recorded nothing.
bool workFileUnsaved(const QString& programDir);
void setWorkFileUnsaved(const QString& programDir, bool unsaved);
// Whether such a recording is waiting with samples in it; one without samples is forgotten.
bool unsavedRecordingWaiting(const QString& programDir);

}  // namespace mervo
