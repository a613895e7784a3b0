// Recovery of a measurement file that a receive never finished: a crash, a power cut or a killed program leaves
// the header and the samples written so far, perhaps the start of one more sample, and no maxima and minima.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace mervo {

enum class FileCondition {
    Complete,        // header, whole samples and trailer
    MissingTrailer,  // header and whole samples, nothing after them
    PartialSample,   // as MissingTrailer, then the first bytes of one more sample
    TooShort,        // not even the twelve header records
    NotMeasurement,  // a header no receive writes: a file of another kind
    Unreadable,      // missing, not a regular file, or cannot be read
};

struct Diagnosis {
    FileCondition condition = FileCondition::Unreadable;
    int64_t bytes = 0;
    int64_t samples = 0;       // whole samples present
    int64_t partialBytes = 0;  // bytes of the unfinished sample at the end
    QString description;       // for the operator

    bool recoverable() const {
        return condition == FileCondition::MissingTrailer || condition == FileCondition::PartialSample;
    }
};

// What the file at `path` holds. A length that fits a complete file counts as complete: an unfinished sample of
// exactly six records cannot be told from a trailer by its length alone.
Diagnosis diagnose(const QString& path);

struct RecoveryReport {
    Diagnosis found;
    bool recovered = false;  // false for a file that was complete already
    int64_t samples = 0;
    int64_t droppedBytes = 0;
    std::array<float, 12> maxima{}, minima{};
};

// Finishes an interrupted file as a normal end of receive would have: drops an unfinished sample and appends
// the maxima and minima gathered from the samples (ExtremesScan: energies from record 2 and the sample count).
// The header and the samples are copied byte for byte, record 2 included. The result goes to a new file in the
// same directory, synced, then renamed over the original, so a failure or crash at any point leaves either the
// original or the finished file. A complete file is left untouched (true, recovered = false).
bool recover(const QString& path, RecoveryReport* report, QString* error);

}  // namespace mervo
