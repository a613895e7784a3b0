// The sample data table: one printed line per sample over a chosen range, as many pages as it needs.
#pragma once

#include <QString>
#include <cstdint>

#include "platform/surface.h"
#include "printing/print_job.h"
#include "shared/shared_state.h"

namespace mervo {

// First and last sample number of the table, both included, numbered from 1.
struct TableRange {
    int64_t first = 1;
    int64_t last = 1;
};

constexpr int kTableFirstPageRows = 60;
constexpr int kTableOtherPageRows = 65;

// The fixed lines of the table.
QString tableColumnHeader();
QString tableUnitLine();
QString tablePageLead();
QString tableEndLine();

// How many samples of the measurement file at `path` the table can print (its whole samples, with or without
// the trailer); -1 with the reason when the file cannot be read or is damaged.
int64_t tableSampleCount(const QString& path, QString* error);

// The range from the window's two texts: whole numbers, first not above last, both within 1..sampleCount.
// Anything else is refused with a message that names the valid range.
bool parseTableRange(const QString& firstText, const QString& lastText, int64_t sampleCount, TableRange* range,
                     QString* error);

// Prints the table of `range` from the file st.file.WorkFile (the program's working file when empty) with the
// nameplate in st.motor, and ends the document. The range and the file are checked before anything is
// printed; false with the reason then, or when the file cannot be read on the way (the document is then
// incomplete and must be discarded). The shared live values and motor outputs are left untouched.
bool printDataTable(SharedState& st, Surface& surface, const PrintHeader& header, const TableRange& range,
                    QString* error);

}  // namespace mervo
