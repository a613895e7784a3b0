// The savings as the operator reads them, in one place for the assessment window's second page, its CSV and the
// printed report: the inputs they were worked out with, the annual figures and the maximum demand as rows of the
// results table, the time-of-use rows and the candidate motors, with the rule that every output states.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "assessment/savings.h"
#include "printing/assessment_table.h"

namespace mervo {

// A time of day in seconds as a period's edge reads: "08:00" (to the minute).
QString dayClockText(double seconds);

// The inputs of `s` as label and text: hours, price, time-of-use periods, CO₂ factor (with its year where it is
// the default) and the demand window.
std::vector<std::pair<QString, QString>> savingsInputLines(const Savings& s);

// The annual figures, the maximum demand with its time of day and the load the candidates are chosen for, as
// rows of the assessment's results table.
std::vector<AssessmentRow> savingsRows(const Savings& s, const Assessment& a);

// Energy and cost per time-of-use period over the interval and a year; empty with one price.
QStringList touTableHeader();
std::vector<std::array<QString, 5>> touRows(const Savings& s);

// The candidate motors as ranked: source, model, kW, η, class, energy over the interval, its saving, the annual
// saving in kWh, 元 and t CO₂, mean load rate, overload time, remarks ("过载" for an overloaded one), price and
// payback.
inline constexpr int kCandidateColumns = 15;
inline constexpr int kCandidatePriceColumn = 13, kCandidatePaybackColumn = 14;
QStringList candidateTableHeader();
std::vector<std::array<QString, kCandidateColumns>> candidateRows(const Savings& s);
// A price the operator typed, as its cell shows it: 9000, 12500.5.
QString motorPriceText(double yuan);

// The assessment's CSV rows followed by those of the savings (when there are any), every row as wide as the
// widest, as spreadsheets expect.
std::vector<std::vector<QString>> assessmentCsvRows(const Assessment& a, const std::optional<Savings>& savings,
                                                    const AssessedFile& f, const PrintHeader& h);

}  // namespace mervo
