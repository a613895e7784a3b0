#include "assessment/efficiency_class.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <cmath>
#include <vector>

namespace mervo {

extern const char kIeEfficiencyTable[];

namespace {

constexpr int kPoles[] = {2, 4, 6, 8};
constexpr double kHeldAbove = 200, kLargest = 1000;  // the 200 kW row holds up to 1000 kW

struct Row {
    double kw;
    std::array<double, 16> minimum;  // IE1 2p, 4p, 6p, 8p, IE2 2p, ... as the table's columns
};

// The table, read once from the text the build embeds.
const std::vector<Row>& table() {
    static const std::vector<Row> rows = [] {
        std::vector<Row> out;
        for (const QByteArray& line : QByteArray(kIeEfficiencyTable).split('\n')) {
            const QByteArray t = line.trimmed();
            if (t.isEmpty() || t.startsWith('#') || t.startsWith("kW")) continue;
            const QList<QByteArray> f = t.split(',');
            if (f.size() != 17) continue;
            Row r{};
            r.kw = f[0].toDouble();
            for (int k = 0; k < 16; ++k) r.minimum[static_cast<size_t>(k)] = f[k + 1].toDouble();
            out.push_back(r);
        }
        return out;
    }();
    return rows;
}

}  // namespace

std::optional<double> ieMinimum(int ieClass, int poles, double ratedKw) {
    const std::vector<Row>& rows = table();
    int p = -1;
    for (int k = 0; k < 4; ++k)
        if (kPoles[k] == poles) p = k;
    if (p < 0 || ieClass < 1 || ieClass > 4 || rows.empty() || !(ratedKw >= rows.front().kw) || ratedKw > kLargest)
        return std::nullopt;
    const size_t column = static_cast<size_t>((ieClass - 1) * 4 + p);
    const double kw = std::min(ratedKw, kHeldAbove);
    for (size_t i = 0; i + 1 < rows.size(); ++i) {
        const Row &a = rows[i], &b = rows[i + 1];
        if (kw > b.kw) continue;
        const double t = (std::log10(kw) - std::log10(a.kw)) / (std::log10(b.kw) - std::log10(a.kw));
        return a.minimum[column] + t * (b.minimum[column] - a.minimum[column]);
    }
    return rows.back().minimum[column];
}

EfficiencyClass efficiencyClassOf(int poles, double ratedKw, double efficiencyPercent) {
    EfficiencyClass c;
    for (int k = 1; k <= 4; ++k) {
        const std::optional<double> minimum = ieMinimum(k, poles, ratedKw);
        if (!minimum) return EfficiencyClass{};
        c.covered = true;
        // The class minima are published to 0.1 %; a rated efficiency is compared at that resolution.
        if (efficiencyPercent + 1e-6 >= *minimum) c.ieClass = k;
    }
    c.gbGrade = c.ieClass >= 4 ? 2 : c.ieClass == 3 ? 3 : 0;
    return c;
}

QString efficiencyClassName(const EfficiencyClass& c) {
    if (!c.covered) return QString();
    return c.ieClass == 0 ? QStringLiteral("below IE1") : QStringLiteral("IE%1").arg(c.ieClass);
}

}  // namespace mervo
