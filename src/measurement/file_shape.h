// What a file is, judged once for every reader: a complete measurement, an interrupted recording (header and
// whole samples, perhaps the start of one more, no trailer), too short for a header, or a file of another kind.
#pragma once

#include <cstdint>

namespace mervo {

enum class FileCondition {
    Complete,        // header, whole samples and trailer
    MissingTrailer,  // header and whole samples, nothing after them
    PartialSample,   // as MissingTrailer, then the first bytes of one more sample (or of a record)
    TooShort,        // not even the twelve header records
    NotMeasurement,  // a header no receive writes: a file of another kind
    Unreadable,      // missing, not a regular file, or cannot be read
};

struct FileShape {
    FileCondition condition = FileCondition::Unreadable;
    int64_t bytes = 0;
    int64_t samples = 0;       // whole samples behind the header
    int64_t partialBytes = 0;  // bytes of the unfinished sample at the end

    // A receive that never ended normally left the file like this.
    bool interrupted() const {
        return condition == FileCondition::MissingTrailer || condition == FileCondition::PartialSample;
    }
};

// The shape a file's length gives (TooShort, Complete, MissingTrailer or PartialSample). A length that fits a
// complete file counts as complete: an unfinished sample of exactly six records cannot be told from a trailer
// by its length alone.
FileShape shapeOfLength(int64_t bytes);

}  // namespace mervo
