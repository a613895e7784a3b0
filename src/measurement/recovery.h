// Recovery of a measurement file that a receive never finished: a crash, a power cut or a killed program leaves
// the header and the samples written so far, perhaps the start of one more sample, and no maxima and minima.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "measurement/file_shape.h"
#include "platform/files.h"
#include "shared/result.h"

namespace mervo {

// What a file holds, with a description for the operator.
struct Diagnosis : FileShape {
    QString description;
    bool recoverable() const { return interrupted(); }
};

Diagnosis diagnose(const QString& path);

struct RecoveryReport {
    Diagnosis found;
    bool recovered = false;  // false for a file that was complete already
    int64_t samples = 0;
    int64_t droppedBytes = 0;
    float duration = 0;  // record 2: the time the samples span, as the receive kept it up to date
    std::array<float, 12> maxima{}, minima{};
};

// Finishes an interrupted file as a normal end of receive would have: drops an unfinished sample and appends
// the maxima and minima gathered from the samples (ExtremesScan: energies from record 2 and the sample count).
// The header and the samples are copied bit for bit, record 2 included: the receive keeps it within a block
// period of its last sample, so it states the time the samples kept span. The result replaces the original only
// once it is complete on the disk, so a failure or crash at any point leaves either the original or the
// finished file. A complete file is left untouched (recovered = false); any other file is refused, and so is a
// file a receive is still recording (kFileBeingWritten): recovery holds the writer lock while it works.
Result<RecoveryReport> recover(const QString& path, FileSystem& fs = systemFileSystem());

}  // namespace mervo
