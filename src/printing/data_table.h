// The sample data table: one printed line per sample over a chosen range, as many pages as it needs.
#pragma once

#include <QString>
#include <cstdint>

#include "platform/surface.h"
#include "printing/print_job.h"
#include "shared/result.h"
#include "shared/shared_state.h"

namespace mervo {

// First and last sample number of the table, both included, numbered from 1.
struct TableRange {
    int64_t first = 1;
    int64_t last = 1;
};

constexpr int kTableFirstPageRows = 60;
constexpr int kTableOtherPageRows = 65;

// The pages a table of `rows` rows takes: 60 rows on the first page, 65 on each further one, and a page break
// after every full page, so rows that fill the last page exactly leave the page number and end line to a page of
// their own. 0 rows take no page.
int64_t tablePageCount(int64_t rows);
inline int64_t tablePageCount(const TableRange& r) { return tablePageCount(r.last - r.first + 1); }

// The fixed lines of the table.
QString tableColumnHeader();
QString tableUnitLine();
QString tablePageLead();
QString tableEndLine();

// How many samples of the measurement file at `path` the table can print (its whole samples, with or without
// the trailer); refused with the reason when the file cannot be read or is damaged.
Result<int64_t> tableSampleCount(const QString& path);

// The range from the window's two texts: whole numbers, first not above last, both within 1..sampleCount.
// Anything else is refused with a message that names the valid range.
Result<TableRange> parseTableRange(const QString& firstText, const QString& lastText, int64_t sampleCount);

// Prints the table of `range` from the file st.file.WorkFile (the program's working file when empty) with the
// nameplate in st.motor, and ends the document. The range and the file are checked before anything is
// printed; a failure then, or when the file cannot be read on the way (the document is then incomplete and
// must be discarded). `st` is only read. `progress`, when given, is told of every finished page, the last one
// included, and may stop the printing (which then fails as cancelled, without the next page begun).
Status printDataTable(const SharedState& st, Surface& surface, const PrintHeader& header, const TableRange& range,
                      const PrintProgress& progress = {});

}  // namespace mervo
