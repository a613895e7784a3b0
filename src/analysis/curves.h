// The curve boxes of the analysis: the coordinate-system routine, the cumulative curves drawn sample by
// sample, tick labels and the maximum/minimum text. Curve numbers 0..9: I1 I2 I3 U1 U2 U3, total P, PF,
// efficiency, load rate.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/plot_geometry.h"
#include "platform/surface.h"
#include "shared/shared_state.h"

namespace mervo {

constexpr int kCurves = 10;
constexpr Colour kCurveBackground = 12632256;

// What each curve shows: the LiveValues element (display layout), its unit text and titles.
struct CurveRow {
    int element;       // LiveValues element; -1 for efficiency and load rate (motor outputs)
    const char* unit;  // " A", " V", " kW", "", " %"
    const char* cumTitle;
    const char* segTitle;
    const char* cumTip;
    const char* segTip;
};
extern const CurveRow kCurveTable[kCurves];

// The twenty boxes: Picture2 (cumulative) and Picture3 (segmented), indexed by curve number.
struct CurveBoxes {
    std::array<Surface*, kCurves> cumulative{};
    std::array<Surface*, kCurves> segmented{};
};

// Where a curve may draw on a box: the value band from y = 200 to 1600, so a value beyond its axis (a load
// rate over 120 %) stops at the band's edge instead of running over the maximum/minimum text at the top.
// Across, the box's own edge clips.
inline ClipRect curveBandClip() { return {-INFINITY, kPlotTop, INFINITY, kPlotBottom}; }

// Clears all twenty boxes and sets their light-grey background.
void clearCurveBoxes(CurveBoxes& boxes);

// Draws the time grid on every cumulative box and the value grid on `objc`; sets TimeStep, AxisMin, AxisMax
// and AxisStep in `curves`. `totalTime` > 0.
void ZBX_DS(float MIN, float MAX, Surface& objc, const CurveBoxes& boxes, float totalTime, CurveValues& curves);

// The axis input of curve k to ZBX_DS, and the maximum and minimum printed on its box.
struct CurveRange {
    float min = 0, max = 0;
};
CurveRange curveAxisInput(int k, const LiveArrays& live);
CurveRange curveExtremes(int k, const SharedState& st);

// The tick labels of the displayed curve c: value ticks (Label5(j) and Label6(j): caption and top, at most
// eight) and time ticks (Label7(j): caption in seconds and left). Only thirteen time labels exist, while the
// step rule allows up to fifteen grid lines; with more than thirteen lines every second one is labelled, so
// the labels still run evenly to the end of the axis.
struct TickLabel {
    QString caption;
    double pos = 0;  // top of a value label, left of a time label (twips, in the frame)
};
struct TickLabels {
    std::vector<TickLabel> value;
    std::vector<TickLabel> time;
    QString timeUnit;   // Label3
    QString valueUnit;  // Label4
};
constexpr int kValueLabels = 8;
constexpr int kTimeLabels = 13;
TickLabels tickLabels(const CurveValues& curves, int c, float totalTime);

// The maximum and minimum text at the top of every cumulative box: "    最大值", the maximum and unit, then
// at text column 40 "最小值", the minimum and unit (no unit for the power factor).
void printExtremes(const CurveBoxes& boxes, const SharedState& st);

// Consecutive samples of a pass as the ten plotted values: curve k's value of sample j at values[k][j * stride[k]]
// (efficiency and load rate as the motor outputs hold them), and whether the motor runs at it.
struct CurveChunk {
    int64_t count = 0;
    std::array<const float*, kCurves> values{};
    std::array<ptrdiff_t, kCurves> stride{};
    const uint8_t* running = nullptr;  // not 0 where the motor runs
};

// The cumulative curves drawn sample by sample: sample i of n at x = 6000 i / n, one red segment per curve
// from the previous sample. Efficiency and load rate are drawn only towards a sample at which the motor runs,
// so other samples leave gaps. Once samples outnumber the pixel columns of the box, each column is drawn as
// the span from its lowest to its highest point plus the segments that join it to its neighbours, which
// gives the picture of every segment at a cost bounded by the box's width instead of the sample count.
class CumulativePlotter {
public:
    // `columnWidth` in twips: one pixel (15 on the screen at 96 dpi); 0 draws every segment.
    explicit CumulativePlotter(const CurveBoxes& boxes, double columnWidth = 15);
    ~CumulativePlotter();

    // Start of a pass of `sampleCount` samples: CurveX = CurvePrevX = 0.
    void reset(int64_t sampleCount);
    // One sample (DrawCurveStep): LiveValues in display layout, the motor outputs of the sample, the axes of
    // the pass in st.curves.
    void step(const SharedState& st);
    // One sample as the ten plotted values (curve order, efficiency and load rate as the motor outputs hold
    // them) and whether the motor runs, with the axes of the pass.
    void step(const std::array<float, kCurves>& values, bool running, const CurveValues& axes);
    // The next samples of the pass at once: the same picture as step() for each in turn.
    void step(const CurveChunk& chunk, const CurveValues& axes);
    // Draws what a column still holds; at the end of the pass.
    void finish();

    double CurveX() const { return curveX_; }
    double CurvePrevX() const { return curvePrevX_; }
    const std::array<double, kCurves>& CurvePrevY() const { return prevY_; }
    bool decimating() const { return decimate_; }

private:
    CurveBoxes boxes_;
    double columnWidth_;
    int64_t n_ = 0, i_ = 0;
    bool decimate_ = false;
    double curveX_ = 0, curvePrevX_ = 0;
    int64_t prevColumn_ = 0;  // the column of curvePrevX_
    std::array<double, kCurves> prevY_{};
    std::vector<std::optional<CurveTrace>> traces_;  // one per curve with a box
};

}  // namespace mervo
