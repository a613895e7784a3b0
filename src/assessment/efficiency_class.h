// The efficiency class of a motor from its rated efficiency: the minima of classes IE1 to IE4 for 50 Hz cage
// induction motors of 2, 4, 6 and 8 poles, 0.12 to 1000 kW (the 200 kW minima hold above 200 kW), and the
// grades of the national standard built on them (grade 3 at the IE3 minimum, grade 2 at the IE4 minimum; grade 1
// needs figures not shipped here, so it is never given).
#pragma once

#include <QString>
#include <optional>

namespace mervo {

// The minimum efficiency (%) of class IE`ieClass` (1 to 4) for `poles` poles at `ratedKw`; none outside the
// table. A rating between two rows is interpolated linearly in log10 of the power, as the catalogue is made.
std::optional<double> ieMinimum(int ieClass, int poles, double ratedKw);

struct EfficiencyClass {
    bool covered = false;  // the table covers the poles and rating
    int ieClass = 0;       // 1 to 4, 0 below IE1
    int gbGrade = 0;       // 2 or 3; 0 below grade 3
};
EfficiencyClass efficiencyClassOf(int poles, double ratedKw, double efficiencyPercent);
// "IE1" … "IE4", "below IE1"; empty when not covered.
QString efficiencyClassName(const EfficiencyClass& c);

}  // namespace mervo
