// Recovery of a measurement file that a receive never finished: a crash, a power cut or a killed program leaves
// the header and the samples written so far, perhaps the start of one more sample, and no maxima and minima.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "measurement/file_shape.h"
#include "platform/files.h"
#include "shared/result.h"

namespace mervo {

// What a file holds, with a description for the operator.
struct Diagnosis : FileShape {
    QString description;
    // As long as an interrupted recording, with a header the reader takes, yet no receive wrote it: start time,
    // duration and nameplate all zero and not one sample holding a reading (a file of zeros). Judged
    // NotMeasurement; the operator is told why it is not recovered.
    bool noRecording = false;
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
// A path that is a symbolic link recovers the file it points to, in that file's place; the link stays.
// The copy starts only when the disk has room for the whole finished file. `stopRequested`, asked between
// chunks of the copy, abandons the work when it says so: the partial copy is removed, the original untouched.
Result<RecoveryReport> recover(const QString& path, FileSystem& fs = systemFileSystem(),
                               const std::function<bool()>& stopRequested = {});

}  // namespace mervo
