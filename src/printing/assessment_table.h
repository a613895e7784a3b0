// The motor assessment as the operator reads it: its figures as rows of Chinese texts with units (an absent one
// as "—" with the reason where there is one), the time in each operating zone, the starts and the bars of the load
// profile. The window, its CSV and the printed report all show these same texts.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "assessment/motor_assessment.h"
#include "measurement/file_layout.h"
#include "measurement/sidecar.h"
#include "printing/print_job.h"
#include "shared/result.h"

namespace mervo {

// What the outputs say of the measurement itself, read from its header.
struct AssessedFile {
    QString path;
    FileHeader header;  // start clock, duration, nameplate, clamp channels
    int64_t samples = 0;
    std::vector<Marker> markers;  // the operator's, from beside the file
};
// A file that is no measurement is refused with the reason.
Result<AssessedFile> readAssessedFile(const QString& path);

// Shown in place of a figure the assessment could not give.
QString absentFigure();
// A figure as the tables show it: four significant digits, never in exponent form (134.9, 0.003583, 85387).
QString figure(double v);
// Seconds to the hundredth, as the clock of a start reads.
QString secondsText(double v);
// An efficiency class as the tables name it: "IE3", "低于 IE1"; "—" outside the class table.
QString efficiencyClassText(const EfficiencyClass& c);

// One line of the results table. A group's title has a label only.
struct AssessmentRow {
    QString label, value, unit, note;
    bool group = false;
};
QStringList assessmentTableHeader();  // 项目, 数值, 单位, 说明
std::vector<AssessmentRow> assessmentRows(const Assessment& a, const AssessedFile& f);

// The measurement the assessment was made on, as label and text: file, start, duration, nameplate, range, K_Q
// and target power factor.
std::vector<std::pair<QString, QString>> assessedFileLines(const Assessment& a, const AssessedFile& f);

// The operator's markers within the assessed samples, as "第 12 组 泵启动；第 40 组 阀门全开" (the first
// `shown` of them, then how many more); empty without any.
QString markersText(const Assessment& a, const AssessedFile& f, size_t shown = 20);

// Time in each operating zone: the zone, its seconds and its share of the running time (%). Empty without
// motor figures.
QStringList zoneTableHeader();
std::vector<std::array<QString, 3>> zoneRows(const Assessment& a);

// The load profile as a table: the band, its seconds, its share of the interval's time (%) and its input energy
// (kWh; negative while generating). Empty without motor figures.
QStringList profileTableHeader();
std::vector<std::array<QString, 4>> profileRows(const Assessment& a);

// The starts: time of day (HH:MM:SS.ss), peak in A, peak as a multiple of I_N, duration in s.
QStringList startTableHeader();
std::vector<std::array<QString, 4>> startRows(const Assessment& a);
// Said in place of the starts of an interval without any.
QString noStartsText();

// The load profile drawn as bars over the load rate: each band from its lower to its upper edge (the open top
// band as wide as the one below it), its height the share of the interval's time (%), with the economic load
// rates to mark. The samples outside the bands (below no-load, generating, starting) are told in words.
struct ProfileBar {
    QString label;  // "0-25" … "115+"
    double from = 0, to = 0;
    double share = 0, seconds = 0;
    QString caption;  // its share as written above it: "33.7 %"
};
struct LoadProfileChart {
    std::vector<ProfileBar> bars;  // empty without motor figures
    double shareTop = 10, shareStep = 5;  // the value axis: 0 to shareTop (%) in steps
    double loadRateTop = 0;               // the load-rate axis: 0 to the last bar's upper edge
    std::optional<double> betaActive, betaComprehensive;  // %
    QString outside;  // "低于空载 … s，发电 … s，起动 … s"
};
LoadProfileChart loadProfileChart(const Assessment& a);
// The label of an economic load rate's mark: "β_a 70.7 %".
QString betaMarkText(const QString& name, double percent);

// Everything as CSV rows of four cells: the measurement and the print header's texts, the verdict, the table,
// the zones, the load profile, the starts and the zone rule.
std::vector<std::vector<QString>> assessmentCsvRows(const Assessment& a, const AssessedFile& f, const PrintHeader& h);

}  // namespace mervo
