#include "assessment/savings.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>

#include "shared/number_format.h"
#include "shared/text_parse.h"
#include "shared/wide_vectors.h"

namespace mervo {

namespace {

constexpr double kDay = 86400;
constexpr double kOverloadShare = 0.01;  // of the running time: above it a candidate is not recommended

double secondOfDay(double clock) {
    const double t = std::fmod(clock, kDay);
    return t < 0 ? t + kDay : t;
}

// What the running samples of one time-of-use period add up to (kW summed over samples), and every sample's input.
struct PeriodSums {
    double input = 0;                         // ΣP1, all samples
    double running = 0, runInput = 0, out = 0, outSquared = 0;  // count, ΣP1, ΣP2, ΣP2² while running
};

MERVO_WIDE_VECTORS void sumRows(const float* input, const float* output, const SampleUse* use, int64_t from,
                                int64_t to, PeriodSums& s) {
    float in = 0, runIn = 0, out = 0, outSquared = 0;
    int32_t running = 0;
    for (int64_t j = from; j < to; ++j) {
        const bool r = use[j] == SampleUse::Running;
        const float p2 = r ? output[j] : 0.0f;
        in += input[j];
        running += r;
        runIn += r ? input[j] : 0.0f;
        out += p2;
        outSquared += p2 * p2;
    }
    s.input += in;
    s.running += running;
    s.runInput += runIn;
    s.out += out;
    s.outSquared += outSquared;
}

MERVO_WIDE_VECTORS double sumInput(const float* input, int64_t from, int64_t to) {
    float sum = 0;
    for (int64_t j = from; j < to; ++j) sum += input[j];
    return sum;
}

QString kwText(double kw) { return formatCaption(static_cast<float>(kw)); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[(v.size() - 1) / 2];
}

}  // namespace

bool TouPeriod::holds(double t) const {
    if (from == to) return true;
    return from < to ? t >= from && t < to : t >= from || t < to;
}

QString candidateSourceName(Candidate::Source s) {
    switch (s) {
        case Candidate::Source::Catalogue: return QStringLiteral("catalogue");
        case Candidate::Source::IE3: return QStringLiteral("IE3");
        case Candidate::Source::IE4: return QStringLiteral("IE4");
    }
    return QString();
}

QString checkSavingsSettings(const SavingsSettings& s) {
    if (!(s.hours > 0 && s.hours <= 8784)) return QStringLiteral("年运行小时数（%1）无效：应在 0 到 8784 之间").arg(s.hours);
    if (!(s.price >= 0 && s.price < 1e6)) return QStringLiteral("电价（%1 元/kWh）无效").arg(s.price);
    if (!(s.co2 >= 0 && s.co2 < 100)) return QStringLiteral("排放因子（%1 kg/kWh）无效").arg(s.co2);
    if (!(s.demandMinutes > 0 && s.demandMinutes <= 1440))
        return QStringLiteral("需量时段（%1 分钟）无效：应在 0 到 1440 之间").arg(s.demandMinutes);
    if (!(s.demandStepMinutes > 0 && s.demandStepMinutes <= 1440))
        return QStringLiteral("需量滑差（%1 分钟）无效：应在 0 到 1440 之间").arg(s.demandStepMinutes);
    for (const TouPeriod& p : s.periods)
        if (!(p.price >= 0 && p.price < 1e6)) return QStringLiteral("时段“%1”的电价无效").arg(p.name);
    for (const auto& [key, price] : s.motorPrices)
        if (!(price > 0 && price < 1e12)) return QStringLiteral("电机 %1 的价格无效").arg(key);
    return QString();
}

Result<std::vector<TouPeriod>> parseTouPeriods(const QString& text) {
    std::vector<TouPeriod> out;
    const auto clock = [](const QString& t, double* s) {
        const QStringList hm = t.trimmed().split(QLatin1Char(':'));
        bool okH = false, okM = false;
        if (hm.size() != 2) return false;
        const int h = hm[0].toInt(&okH), m = hm[1].toInt(&okM);
        if (!okH || !okM || h < 0 || m < 0 || m > 59 || h * 60 + m > 24 * 60) return false;
        *s = (h * 60 + m) * 60.0;
        return true;
    };
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString p = part.trimmed();
        if (p.isEmpty()) continue;
        const auto bad = [&p] {
            return Status::failure(QStringLiteral("分时电价“%1”无法识别：应为 时:分-时:分=名称@电价").arg(p));
        };
        const int eq = p.indexOf(QLatin1Char('=')), at = p.lastIndexOf(QLatin1Char('@')), dash = p.indexOf(QLatin1Char('-'));
        if (eq < 0 || at < eq || dash < 0 || dash > eq) return bad();
        TouPeriod t;
        if (!clock(p.left(dash), &t.from) || !clock(p.mid(dash + 1, eq - dash - 1), &t.to)) return bad();
        t.from = secondOfDay(t.from);
        t.to = secondOfDay(t.to);
        t.name = p.mid(eq + 1, at - eq - 1).trimmed();
        const std::optional<double> price = numberFromText(p.mid(at + 1).trimmed());
        if (t.name.isEmpty() || !price || !(*price >= 0)) return bad();
        t.price = *price;
        out.push_back(t);
    }
    return out;
}

QString touPeriodsText(const std::vector<TouPeriod>& periods) {
    QStringList parts;
    const auto clock = [](double s) {
        const int m = static_cast<int>(std::lround(s / 60));
        return QStringLiteral("%1:%2").arg(m / 60, 2, 10, QLatin1Char('0')).arg(m % 60, 2, 10, QLatin1Char('0'));
    };
    for (const TouPeriod& p : periods)
        parts << QStringLiteral("%1-%2=%3@%4").arg(clock(p.from), clock(p.to), p.name, formatCaption(static_cast<float>(p.price)));
    return parts.join(QLatin1Char(';'));
}

QString exampleTouPeriods() {
    return QStringLiteral("10:00-12:00=尖峰@1.2;08:00-10:00=峰@1.0;12:00-22:00=峰@1.0;22:00-08:00=谷@0.35");
}

QString savingsRuleText() {
    return QStringLiteral(
        "年值按本次记录代表全年运行折算：年值 = 记录值 × 年运行小时数 ÷ 记录时长。"
        "更换比较以实测负载重放：每个稳定运行的数据组保持原电机的输出功率 P2，候选电机取用 "
        "P1 = P2 + P0 + (P2/P_N)² × P_K；起动过程和非运行的数据组不计节能。"
        "假定轴功率不变：高效电机转差小、转速略高，风机、水泵的负载会随之略增。"
        "IE3/IE4 参考电机的效率取能效等级的最低值，空载损耗取目录中同功率同极数电机空载损耗占额定损耗之比的中位数（假定值）。");
}

struct SavingsAccumulator::Impl {
    AssessedMeasurement m;
    SavingsSettings settings;
    double step = 0;
    double shortestPiece = kDay;  // the shortest stretch of the day between two period boundaries
    std::vector<PeriodSums> periods;  // one per period, then the time no period holds
    int64_t seen = 0;                 // samples of the interval so far
    int64_t firstNumber = 0;

    // Demand windows, in samples from the interval's start.
    int64_t windowLength = 0;
    double windowStep = 0;
    int64_t nextWindow = 0;  // index of the next window to open
    std::deque<std::pair<int64_t, double>> open;  // (window index, Σ before its first sample)
    double cumulative = 0;
    std::optional<double> bestMean;
    int64_t bestWindow = 0;

    size_t periodAt(int64_t number) const {
        const double t = secondOfDay(m.timeOfDay(number));
        for (size_t p = 0; p < settings.periods.size(); ++p)
            if (settings.periods[p].holds(t)) return p;
        return settings.periods.size();
    }
    int64_t windowStart(int64_t k) const {
        return static_cast<int64_t>(std::ceil(static_cast<double>(k) * windowStep - 1e-9));
    }
    void demand(const float* input, int64_t from, int64_t to);
};

SavingsAccumulator::SavingsAccumulator(const AssessedMeasurement& m, const SavingsSettings& s)
    : d_(std::make_unique<Impl>()) {
    d_->m = m;
    d_->settings = s;
    d_->step = m.stepSeconds();
    d_->periods.resize(s.periods.size() + 1);
    std::vector<double> edges = {0, kDay};
    for (const TouPeriod& p : s.periods) edges.insert(edges.end(), {p.from, p.to});
    std::sort(edges.begin(), edges.end());
    for (size_t i = 1; i < edges.size(); ++i)
        if (edges[i] > edges[i - 1]) d_->shortestPiece = std::min(d_->shortestPiece, edges[i] - edges[i - 1]);
    if (d_->step > 0) {
        d_->windowLength = std::max<int64_t>(1, std::llround(s.demandMinutes * 60 / d_->step));
        d_->windowStep = s.demandStepMinutes * 60 / d_->step;
    }
}

SavingsAccumulator::~SavingsAccumulator() = default;

void SavingsAccumulator::Impl::demand(const float* input, int64_t from, int64_t to) {
    if (windowLength == 0) return;
    // Rows [from, to) are samples seen .. seen + (to - from) of the interval: open and close the windows whose
    // edges lie among them, summing the rows between edges.
    int64_t index = seen;
    for (int64_t j = from; j < to;) {
        const int64_t nextOpen = windowStart(nextWindow);
        const int64_t nextClose = open.empty() ? std::numeric_limits<int64_t>::max() : windowStart(open.front().first) + windowLength;
        const int64_t edge = std::min(nextOpen, nextClose);
        const int64_t upTo = std::min<int64_t>(to, j + std::max<int64_t>(0, edge - index));
        cumulative += sumInput(input, j, upTo);
        index += upTo - j;
        j = upTo;
        if (index == nextClose) {
            const double mean = (cumulative - open.front().second) / static_cast<double>(windowLength);
            if (!bestMean || mean > *bestMean) bestMean = mean, bestWindow = open.front().first;
            open.pop_front();
        }
        if (index == nextOpen) open.emplace_back(nextWindow++, cumulative);
    }
}

void SavingsAccumulator::add(const AssessedRows& a) {
    Impl& d = *d_;
    const SampleRows& r = *a.rows;
    if (a.from >= a.to) return;
    if (d.seen == 0) d.firstNumber = r.first + a.from + 1;
    d.demand(r.sumP, a.from, a.to);
    // The rows a period at a time: a chunk whose first and last samples lie in the same period, closer together
    // than any stretch between period boundaries, lies wholly in it.
    for (int64_t j = a.from; j < a.to;) {
        const int64_t last = a.to - 1;
        const size_t p = d.periodAt(r.first + j + 1);
        int64_t end = j + 1;
        if (d.settings.periods.empty()) {
            end = a.to;
        } else if (d.periodAt(r.first + last + 1) == p &&
                   d.m.timeOfDay(r.first + last + 1) - d.m.timeOfDay(r.first + j + 1) < d.shortestPiece) {
            end = a.to;
        }
        sumRows(r.sumP, r.outputPower, a.use, j, end, d.periods[p]);
        j = end;
    }
    d.seen += a.to - a.from;
}

Savings SavingsAccumulator::finish(const Assessment& a, const std::vector<CatalogueMotor>& catalogue) const {
    const Impl& d = *d_;
    Savings s;
    s.settings = d.settings;
    const double kwh = d.step / 3600.0;
    const double duration = a.electrical.seconds;
    s.scale = duration > 0 ? d.settings.hours * 3600.0 / duration : 0.0;
    const auto priceOf = [&](size_t p) {
        return p < d.settings.periods.size() ? d.settings.periods[p].price : d.settings.price;
    };

    double cost = 0;
    for (size_t p = 0; p < d.periods.size(); ++p) cost += d.periods[p].input * kwh * priceOf(p);
    s.annualEnergyKwh = a.energyInKwh * s.scale;
    s.annualCost = cost * s.scale;
    s.annualCo2T = s.annualEnergyKwh * d.settings.co2 / 1000.0;
    if (a.rated) {
        s.annualLossKwh = (a.energyRunningKwh - a.energyOutKwh) * s.scale;
        s.annualComprehensiveLossKwh =
            (a.energyRunningKwh - a.energyOutKwh + a.settings.kq * a.energyReactiveKvarh) * s.scale;
    }
    if (d.bestMean) {
        s.maxDemandKw = *d.bestMean;
        s.maxDemandAt = d.m.timeOfDay(d.firstNumber + d.windowStart(d.bestWindow));
    }
    if (!d.settings.periods.empty()) {
        for (size_t p = 0; p < d.periods.size(); ++p) {
            const bool rest = p == d.settings.periods.size();
            if (rest && d.periods[p].input == 0) continue;
            // Periods of one name and price (峰 in the morning and in the evening, say) are one row.
            const QString name = rest ? QStringLiteral("其他（默认电价）") : d.settings.periods[p].name;
            auto row = std::find_if(s.tou.begin(), s.tou.end(),
                                    [&](const TouRow& t) { return t.name == name && t.price == priceOf(p); });
            if (row == s.tou.end()) row = s.tou.insert(s.tou.end(), TouRow{name, priceOf(p), 0, 0, 0});
            row->energyKwh += d.periods[p].input * kwh;
            row->cost = row->energyKwh * row->price;
            row->annualCost = row->cost * s.scale;
        }
    }

    // Candidates.
    if (!a.rated) {
        s.note = QStringLiteral("无可用的电机参数，不作更换比较");
        return s;
    }
    const RatedFigures& installed = *a.rated;
    const std::optional<double> beta99 = a.loadRates.percentile(99);
    if (!beta99) {
        s.note = QStringLiteral("此区间内电动机没有稳定运行的数据，不作更换比较");
        return s;
    }
    s.outputP99Kw = *beta99 / 100.0 * installed.ratedPower;
    if (catalogue.empty()) {
        s.note = QStringLiteral("电机目录不可用，不作更换比较");
        return s;
    }
    const int poles = static_cast<int>(std::lround(d.m.motor.MotorPoles));
    const auto usable = [](const std::array<float, 7>& v) {
        MotorValues m;
        m.setNameplate(v);
        m.MotorRatedLoss = (100.0f / v[3] - 1.0f) * v[1];
        return m.MotorDataValid && motorModelUsable(m) && v[3] < 100;
    };
    std::vector<const CatalogueMotor*> same;
    for (const CatalogueMotor& c : catalogue)
        if (static_cast<int>(c.nameplate[0]) == poles && c.nameplate[6] == d.m.motor.MotorRatedVoltage && usable(c.nameplate))
            same.push_back(&c);
    std::vector<double> ratings;
    for (const CatalogueMotor* c : same) ratings.push_back(c->nameplate[1]);
    std::sort(ratings.begin(), ratings.end());
    ratings.erase(std::unique(ratings.begin(), ratings.end()), ratings.end());
    const auto atOrAbove = std::lower_bound(ratings.begin(), ratings.end(), *s.outputP99Kw - 1e-9);
    std::optional<double> rightSized;
    if (atOrAbove != ratings.end()) rightSized = *atOrAbove;
    s.undersized = *s.outputP99Kw > installed.ratedPower;
    QStringList notes;
    if (s.undersized)
        notes << QStringLiteral("第 99 百分位输出功率 %1 kW 高于额定功率 %2 kW：电机偏小")
                     .arg(kwText(*s.outputP99Kw), kwText(installed.ratedPower));
    if (!rightSized) notes << QStringLiteral("目录中没有不小于第 99 百分位输出功率的同极数、同电压电机");

    std::vector<Candidate> candidates;
    const auto add = [&](Candidate c) {
        c.loadLossKw = (100.0 / c.ratedEfficiency - 1.0) * c.ratedKw - c.noLoadKw;
        c.efficiencyClass = efficiencyClassOf(c.poles, c.ratedKw, c.ratedEfficiency);
        candidates.push_back(c);
    };
    if (rightSized) {
        const double lo = std::min(*rightSized, static_cast<double>(installed.ratedPower));
        const double hi = std::max(*rightSized, static_cast<double>(installed.ratedPower));
        for (double rating : ratings) {
            if (rating < lo - 1e-9 || rating > hi + 1e-9) continue;
            std::vector<const CatalogueMotor*> at;
            for (const CatalogueMotor* c : same)
                if (c->nameplate[1] == rating) at.push_back(c);
            std::sort(at.begin(), at.end(), [](const CatalogueMotor* x, const CatalogueMotor* y) {
                return x->nameplate[3] != y->nameplate[3] ? x->nameplate[3] < y->nameplate[3] : x->code < y->code;
            });
            // The best efficiency at the rating, and the median (the lower middle of an even count).
            std::vector<const CatalogueMotor*> picks = {at.back()};
            if (at[(at.size() - 1) / 2] != at.back()) picks.push_back(at[(at.size() - 1) / 2]);
            for (const CatalogueMotor* c : picks) {
                Candidate x;
                x.source = Candidate::Source::Catalogue;
                x.code = c->code;
                x.key = QString::number(c->code);
                x.model = QStringLiteral("编码 %1").arg(c->code);  // the model's name once the index is read
                x.ratedKw = c->nameplate[1];
                x.ratedEfficiency = c->nameplate[3];
                x.noLoadKw = c->nameplate[5];
                x.poles = poles;
                add(x);
            }
        }
    }
    // Class references at the installed and the right-sized rating.
    std::vector<double> referenceRatings = {installed.ratedPower};
    if (rightSized && std::fabs(*rightSized - installed.ratedPower) > 1e-9) referenceRatings.push_back(*rightSized);
    for (double rating : referenceRatings) {
        std::vector<double> shares, allShares;
        for (const CatalogueMotor& c : catalogue) {
            if (static_cast<int>(c.nameplate[0]) != poles || !usable(c.nameplate)) continue;
            const double loss = (100.0 / c.nameplate[3] - 1.0) * c.nameplate[1];
            allShares.push_back(c.nameplate[5] / loss);
            if (c.nameplate[1] == static_cast<float>(rating)) shares.push_back(c.nameplate[5] / loss);
        }
        if (allShares.empty()) continue;
        const double share = median(shares.empty() ? allShares : shares);
        for (int cls : {3, 4}) {
            const std::optional<double> eta = ieMinimum(cls, poles, rating);
            if (!eta) continue;
            Candidate x;
            x.source = cls == 3 ? Candidate::Source::IE3 : Candidate::Source::IE4;
            x.key = QStringLiteral("IE%1-%2").arg(cls).arg(kwText(rating));
            x.model = QStringLiteral("IE%1 参考电机 %2 kW").arg(cls).arg(kwText(rating));
            x.ratedKw = rating;
            x.ratedEfficiency = *eta;
            x.noLoadKw = share * (100.0 / *eta - 1.0) * rating;
            x.noLoadAssumed = true;
            x.poles = poles;
            add(x);
        }
    }

    // Each candidate replayed on the running samples, period by period.
    double running = 0, out = 0;
    for (const PeriodSums& p : d.periods) running += p.running, out += p.out;
    for (Candidate& c : candidates) {
        double saving = 0, savingCost = 0, energy = 0;
        for (size_t p = 0; p < d.periods.size(); ++p) {
            const PeriodSums& q = d.periods[p];
            const double drawn = (q.out + q.running * c.noLoadKw + q.outSquared * c.loadLossKw / (c.ratedKw * c.ratedKw)) * kwh;
            energy += drawn;
            saving += q.runInput * kwh - drawn;
            savingCost += (q.runInput * kwh - drawn) * priceOf(p);
        }
        c.energyKwh = energy;
        c.savingKwh = saving;
        c.annualSavingKwh = saving * s.scale;
        c.annualSavingCost = savingCost * s.scale;
        c.annualSavingCo2T = c.annualSavingKwh * d.settings.co2 / 1000.0;
        c.loadRateMean = running > 0 ? 100.0 * out / running / c.ratedKw : 0.0;
        c.overloadSeconds = static_cast<double>(a.loadRates.above(100.0 * c.ratedKw / installed.ratedPower)) * d.step;
        c.overloaded = c.overloadSeconds > kOverloadShare * a.runningSeconds;
        if (const auto price = d.settings.motorPrices.find(c.key); price != d.settings.motorPrices.end()) {
            c.price = price->second;
            if (c.annualSavingCost > 0) c.paybackYears = price->second / c.annualSavingCost;
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& x, const Candidate& y) {
        if (x.overloaded != y.overloaded) return !x.overloaded;
        return x.annualSavingKwh > y.annualSavingKwh;
    });
    s.candidates = std::move(candidates);
    if (s.candidates.empty()) notes << QStringLiteral("没有可比较的候选电机");
    s.note = notes.join(QStringLiteral("；"));
    return s;
}

}  // namespace mervo
