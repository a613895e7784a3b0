// The printed motor assessment: A4, up to three pages. The first holds the measurement and the print window's
// fields, the verdict, the results table and the rule of the zones; the second the load profile as bars with
// the economic load rates marked, the time per zone and the starts (without motor figures there is no such
// page); the last, when the savings were worked out, their inputs, the annual figures and the maximum demand,
// the time-of-use rows, the candidate motors and the rule they follow. Drawn in twips on any Surface, so the
// printer and a PDF get the same pages.
#pragma once

#include <optional>

#include "assessment/motor_assessment.h"
#include "assessment/savings.h"
#include "platform/surface.h"
#include "printing/assessment_comparison.h"
#include "printing/assessment_table.h"
#include "printing/print_job.h"
#include "shared/result.h"

namespace mervo {

// Draws the report of `a` with its `savings` (none: no savings page), made on the measurement `f`, and ends the
// document. On failure the document may be part-drawn and is not ended, for the caller to discard.
Status printAssessmentReport(const Assessment& a, const std::optional<Savings>& savings, const AssessedFile& f,
                             const PrintHeader& header, Surface& page);

// The document's name, as the printer queue and the PDF's title give it.
QString assessmentReportTitle();

// One page: the assessments of `before` and `after` side by side, each with its file and span, the key figures
// and their differences, both verdicts and the markers within each span; then ends the document. On failure the
// document may be part-drawn and is not ended.
Status printAssessmentComparison(const ComparedSide& before, const ComparedSide& after, const PrintHeader& header,
                                 Surface& page);
// "电动机能效评估 改造前 / 改造后"
QString assessmentComparisonTitle();

}  // namespace mervo
