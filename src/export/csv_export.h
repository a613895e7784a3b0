// A measurement as CSV: every sample, or one row per interval with the mean, minimum and maximum of each
// quantity, over all samples or a range of them. The command line and the windows share it.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "shared/result.h"

namespace mervo {

struct CsvExportOptions {
    double intervalSeconds = 0;  // 0: a row per sample; otherwise a row per interval of this many seconds
    int64_t from = 1, to = 0;    // the samples exported, numbered from 1; `to` 0: up to the last
    bool spreadsheet = false;    // UTF-8 byte-order mark and CRLF line ends, as spreadsheet programs want them
};

// The shortest interval of a row: far below the instrument's spacing of samples; shorter ones would only
// overflow the count of intervals.
inline constexpr double kShortestExportInterval = 0.001;

// Told now and then how many samples are done of how many; false cancels the export.
using ExportProgress = std::function<bool(int64_t done, int64_t total)>;

// Writes the CSV of `measurement` to `output` (standard output when empty). Each row carries the date and time
// of day of its sample, the date taken from the file's modification time as the printout takes it; a row per
// sample ends with the text of the operator's marker at that sample, if any. A file
// output appears only once complete: a failure or a cancel leaves what was there before.
Status exportCsv(const QString& measurement, const QString& output, const CsvExportOptions& options,
                 const ExportProgress& progress = {}, QString* warning = nullptr);

// A table of texts as CSV to `output`, with the exports' quoting, spreadsheet form and complete-or-nothing file.
Status writeCsvTable(const QString& output, const std::vector<std::vector<QString>>& rows, bool spreadsheet);

// Whether exportCsv failed because the progress asked it to stop.
bool exportCancelled(const Status& s);

}  // namespace mervo
