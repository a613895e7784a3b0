// The one-page operating-curve report: six charts (current, voltage, active power, power factor, efficiency,
// load rate) over the whole measurement, each under a title with its largest and smallest value, and a footer
// with the duration, the energies and the print window's fields. Drawn in twips on any Surface.
#pragma once

#include <QString>
#include <array>

#include "platform/surface.h"
#include "printing/print_job.h"
#include "shared/shared_state.h"

namespace mervo {

// Width of one drawing column of the curves, in twips: one dot at 300 dpi. A measurement with more samples
// than the plot has columns is drawn per column as the span of its points, so the page stays small however
// long the recording.
constexpr double kReportColumnTwips = 4.8;

// Largest and smallest of three values.
float MaxOf3(float a, float b, float c);
float MinOf3(float a, float b, float c);

// Copies the current and voltage extremes of connected clamp channels onto the entries of unconnected ones
// (entries 0/1, 3/4, 6/7 are channels 1, 2, 3), as `wiringCode` = 4 red + 2 blue + yellow says.
void completeWiring(int wiringCode, std::array<float, 12>& maxima, std::array<float, 12>& minima);

// Grid of one chart whose origin is at y = `offset`: dotted time lines and value lines (solid at 0, 1 and
// whole multiples of 50). Leaves the axes used in AxisMin, AxisMax, AxisStep and TimeStep. `totalTime` > 0.
void ZBX_PR(float MIN, float MAX, Surface& objc, float offset, float totalTime, CurveValues& curves);

// Draws the report of the measurement st.file.WorkFile (the working file of the program directory when
// empty) on `page` and ends the document. Needs a complete analysis pass of that file in `st` for the
// efficiency and load-rate extremes and the energies (st.curves); the motor nameplate is st.motor.
// Leaves in st: TotalTime, LiveMax/LiveMin as completed for the wiring, and the axes of the six charts in
// CurveAxisMin/CurveAxisMax slots 0, 3, 6, 7, 8, 9. On failure (unreadable file, no usable duration, a read
// error, the page cannot be ended) returns false with the reason; the document may then be part-drawn and
// is not ended, for the caller to discard.
bool printReport(SharedState& st, Surface& page, const PrintHeader& header, QString* error,
                 double columnWidth = kReportColumnTwips);

}  // namespace mervo
