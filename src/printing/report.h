// The one-page operating-curve report: six charts (current, voltage, active power, power factor, efficiency,
// load rate) over the whole measurement, each under a title with its largest and smallest value, and a footer
// with the duration, the energies and the print window's fields. Drawn in twips on any Surface.
#pragma once

#include <QString>
#include <array>
#include <memory>

#include "analysis/plot_geometry.h"
#include "analysis/sample_rows.h"
#include "platform/surface.h"
#include "printing/print_job.h"
#include "shared/result.h"
#include "shared/shared_state.h"

namespace mervo {

// Width of one drawing column of the curves, in twips: one dot at 300 dpi. A measurement with more samples
// than the plot has columns is drawn per column as the span of its points, so the page stays small however
// long the recording.
constexpr double kReportColumnTwips = 4.8;
constexpr int kReportCharts = 6;

// Largest and smallest of three values.
float MaxOf3(float a, float b, float c);
float MinOf3(float a, float b, float c);

// Copies the current and voltage extremes of connected clamp channels onto the entries of unconnected ones
// (entries 0/1, 3/4, 6/7 are channels 1, 2, 3), as `wiringCode` = 4 red + 2 blue + yellow says.
void completeWiring(int wiringCode, std::array<float, 12>& maxima, std::array<float, 12>& minima);

// Grid of one chart whose origin is at y = `offset`: dotted time lines and value lines (solid at 0, 1 and
// whole multiples of 50). Leaves the axes used in AxisMin, AxisMax, AxisStep and TimeStep. `totalTime` > 0.
void ZBX_PR(float MIN, float MAX, Surface& objc, float offset, float totalTime, CurveValues& curves);

// What the report draws of a measurement: read from its file, with the extremes completed for the wiring and
// the axes of the six charts.
struct ReportData {
    QString path;
    float totalTime = 0;
    int64_t samples = 0;
    int channels = 3;  // connected clamp channels: the divisor of the mean current and voltage
    std::array<float, 12> maxima{}, minima{};
    MotorValues motor;  // the file's nameplate
    // Each chart's axis input (smallest, largest), which its printed extremes are too, and the axis it gives.
    std::array<std::array<float, 2>, kReportCharts> axisInput{};
    std::array<ValueAxis, kReportCharts> axes;
    float timeStep = 0;
};

// Reads the report's data from the measurement st.file.WorkFile (the working file of the program directory when
// empty), without changing `st`. A file that cannot be read, has no usable duration or unusable extremes is
// refused with the reason.
Result<ReportData> readReportData(const SharedState& st);

// The six curves of a report gathered from the rows of the measurement's samples, in order from the first, as
// the lines they draw: per column of the plot once samples outnumber its columns, so they stay few however long
// the recording. An analysis pass that reads every sample anyway can hand its rows over, and the report then
// needs no second read of the file.
class ReportCurves {
public:
    explicit ReportCurves(const ReportData& data, double columnWidth = kReportColumnTwips);
    ~ReportCurves();
    ReportCurves(ReportCurves&&) noexcept;
    ReportCurves& operator=(ReportCurves&&) noexcept;

    // The next rows; rows out of order leave the curves incomplete.
    void add(const SampleRows& rows);
    // Whether every sample of the measurement has been added, in order.
    bool complete() const;
    // Puts the lines on `page`, in the pen the caller has set.
    void draw(Surface& page);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// Draws the report of st.file.WorkFile on `page` and ends the document. Takes from `st` only the file and what
// the last analysis pass of it found (the efficiency and load-rate extremes and the energies); everything else
// comes from the file, and `st` is left as it was: printing never changes what a window shows. `curves`, when
// given and complete, are the curves that pass gathered, drawn instead of reading the samples again. On failure
// the document may be part-drawn and is not ended, for the caller to discard.
Status printReport(const SharedState& st, Surface& page, const PrintHeader& header,
                   double columnWidth = kReportColumnTwips, ReportCurves* curves = nullptr);

}  // namespace mervo
