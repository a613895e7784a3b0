// What a motor costs and what a change would save, from the measured load of an assessed interval.
//
// - Annual figures: the recording is taken as representative of the year's operation: annual = recorded ×
//   H / duration, H the operating hours a year. Energy, cost (one price, or the time-of-use periods' prices), CO₂
//   (a grid factor in kg/kWh), the losses E_run − E_out and the comprehensive losses with K_Q·E_q.
// - Maximum demand: the mean ΣP over windows of M minutes starting at the interval's first sample and every S
//   minutes after it, each wholly inside the interval; none when the interval is shorter than M.
// - Time-of-use: periods of the day (from–to, may cross midnight; the first period that holds a time wins), each
//   with a price; time no period holds falls to the default price.
// - Replacement and right-sizing, replayed on the measured load: every running sample outside starts keeps its
//   output P2 (the installed motor's operating point), and a candidate of rating P_Nc, no-load losses P0c and load
//   losses P_Kc at rated load draws P1c = P2 + P0c + (P2/P_Nc)²·P_Kc, the loss model of the operating point. So a
//   candidate's energy over the samples follows from their count, ΣP2 and ΣP2², kept per time-of-use period. The
//   installed motor as a candidate gives back the measured input. Samples that do not run save nothing. The replay
//   assumes the same shaft power: a higher-efficiency motor runs with less slip, a little faster, which raises the
//   load of a fan or pump.
//   Candidates: catalogue motors of the same poles and voltage rated from the smallest catalogue rating at or above
//   the 99th percentile of P2 up to the installed rating (from the installed rating up to it when that percentile
//   lies above the installed rating: the motor is undersized), the best and the median efficiency at each rating;
//   and class reference motors IE3 and IE4 at the installed and the right-sized rating, their efficiency the class
//   minimum and their no-load losses the median share P0/P_loss of the catalogue's motors of that rating and poles
//   (an assumption). A candidate above its rating for more than 1 % of the running time is overloaded.
#pragma once

#include <QString>
#include <map>
#include <optional>
#include <vector>

#include "assessment/motor_assessment.h"
#include "motor/catalogue.h"

namespace mervo {

struct TouPeriod {
    QString name;
    double from = 0, to = 0;  // seconds of the day; from > to crosses midnight; from == to is the whole day
    double price = 0;         // 元/kWh
    bool holds(double secondOfDay) const;
};

constexpr int kCo2FactorYear = 2022;  // the year of the default grid factor

struct SavingsSettings {
    double hours = 8000;            // operating hours a year
    double price = 0.7;             // 元/kWh, and the price of time no period holds
    double co2 = 0.5703;            // kg/kWh, the national grid average published for kCo2FactorYear
    double demandMinutes = 15, demandStepMinutes = 1;
    std::vector<TouPeriod> periods;
    std::map<QString, double> motorPrices;  // by candidate key: the catalogue code, or IE3-<kW> / IE4-<kW>
};
// Empty, or why the settings cannot be used, in the operator's words.
QString checkSavingsSettings(const SavingsSettings& s);

// "HH:MM-HH:MM=NAME@PRICE;…"; empty text gives no periods.
Result<std::vector<TouPeriod>> parseTouPeriods(const QString& text);
QString touPeriodsText(const std::vector<TouPeriod>& periods);
// An example to edit, since no national schedule exists.
QString exampleTouPeriods();

struct TouRow {
    QString name;
    double price = 0, energyKwh = 0, cost = 0, annualCost = 0;
};

struct Candidate {
    enum class Source { Catalogue, IE3, IE4 };
    Source source = Source::Catalogue;
    QString key;    // what --motor-price names it by
    int code = 0;   // catalogue code, 0 for a class reference
    QString model;
    double ratedKw = 0, ratedEfficiency = 0, noLoadKw = 0, loadLossKw = 0;
    int poles = 0;
    bool noLoadAssumed = false;  // a class reference's no-load losses, from the catalogue's median share
    EfficiencyClass efficiencyClass;
    double energyKwh = 0, savingKwh = 0, annualSavingKwh = 0, annualSavingCost = 0, annualSavingCo2T = 0;
    double loadRateMean = 0, overloadSeconds = 0;
    bool overloaded = false;
    std::optional<double> price, paybackYears;
};
QString candidateSourceName(Candidate::Source s);  // "catalogue", "IE3", "IE4"

struct Savings {
    SavingsSettings settings;
    double scale = 0;  // a year over the recording: H · 3600 / duration
    double annualEnergyKwh = 0, annualCost = 0, annualCo2T = 0;
    std::optional<double> annualLossKwh, annualComprehensiveLossKwh;
    std::optional<double> maxDemandKw;
    double maxDemandAt = 0;  // the clock of its window's first sample
    std::vector<TouRow> tou;
    std::optional<double> outputP99Kw;
    bool undersized = false;
    std::vector<Candidate> candidates;  // ranked: the most saved a year first, overloaded ones last
    QString note;                       // why there are no candidates, or what they assume
};
// The rule text of the replay and of the annual scaling, as every output states it.
QString savingsRuleText();

class SavingsAccumulator {
public:
    SavingsAccumulator(const AssessedMeasurement& m, const SavingsSettings& s);
    ~SavingsAccumulator();
    SavingsAccumulator(const SavingsAccumulator&) = delete;
    SavingsAccumulator& operator=(const SavingsAccumulator&) = delete;

    void add(const AssessedRows& rows);
    // The figures of the interval assessed as `a`; candidates from `catalogue` (none when it is empty).
    Savings finish(const Assessment& a, const std::vector<CatalogueMotor>& catalogue) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace mervo
