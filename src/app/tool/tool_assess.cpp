// mervo-tool assess FILE [--from A] [--to B] [--kq K] [--target-pf X] [the savings options] [-o OUT.pdf]: the motor
// assessment of samples A..B with its savings as one JSON object; -o also prints the assessment report, its savings
// page included. With --compare FILE2 [--compare-from A] [--compare-to B], FILE2's span is assessed alike as the
// state before a change ("compared" in the JSON), and -o prints the two side by side on one page instead.
#include <QFileInfo>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/tool/tool_common.h"
#include "assessment/assessment_run.h"
#include "platform/program_dir.h"
#include "shared/json_writer.h"
#include "shared/time_split.h"

namespace mervo::tool {

namespace {

const char kAssessUsage[] =
    "usage: mervo-tool assess FILE [--from A] [--to B] [--kq K] [--target-pf X] [--hours H] [--price P] [--co2 F]\n"
    "       [--demand-minutes M] [--demand-step-minutes S] [--tou \"HH:MM-HH:MM=NAME@PRICE;...\"]\n"
    "       [--motor-price CODE=YUAN]... [--compare FILE2 [--compare-from A] [--compare-to B]] [-o OUT.pdf]";

JsonObject& number(JsonObject& j, const char* key, std::optional<double> v) {
    return v && std::isfinite(*v) ? j.num(key, static_cast<float>(*v)) : j.nul(key);
}

std::string savingsJson(const Savings& s) {
    std::string tou = "[";
    for (const TouRow& t : s.tou) {
        JsonObject o;
        o.str("name", t.name)
            .num("price", static_cast<float>(t.price))
            .num("energy_kwh", static_cast<float>(t.energyKwh))
            .num("cost", static_cast<float>(t.cost))
            .num("annual_cost", static_cast<float>(t.annualCost));
        tou += (tou.size() > 1 ? "," : "") + o.text();
    }
    tou += "]";
    std::string candidates = "[";
    for (const Candidate& c : s.candidates) {
        JsonObject o;
        o.str("source", candidateSourceName(c.source));
        if (c.code) o.integer("code", c.code);
        else o.nul("code");
        o.str("key", c.key)
            .str("model", c.model)
            .num("rated_kw", static_cast<float>(c.ratedKw))
            .integer("poles", c.poles)
            .num("rated_efficiency", static_cast<float>(c.ratedEfficiency));
        if (c.efficiencyClass.covered) o.str("efficiency_class", efficiencyClassName(c.efficiencyClass));
        else o.nul("efficiency_class");
        o.num("no_load_kw", static_cast<float>(c.noLoadKw))
            .boolean("no_load_assumed", c.noLoadAssumed)
            .num("energy_kwh", static_cast<float>(c.energyKwh))
            .num("saving_kwh", static_cast<float>(c.savingKwh))
            .num("annual_saving_kwh", static_cast<float>(c.annualSavingKwh))
            .num("annual_saving_cost", static_cast<float>(c.annualSavingCost))
            .num("annual_saving_co2_t", static_cast<float>(c.annualSavingCo2T))
            .num("load_rate_mean", static_cast<float>(c.loadRateMean))
            .num("overload_s", static_cast<float>(c.overloadSeconds))
            .boolean("overloaded", c.overloaded);
        number(o, "price", c.price);
        number(o, "payback_years", c.paybackYears);
        candidates += (candidates.size() > 1 ? "," : "") + o.text();
    }
    candidates += "]";
    JsonObject j;
    j.num("hours", static_cast<float>(s.settings.hours))
        .num("price", static_cast<float>(s.settings.price))
        .num("co2_kg_per_kwh", static_cast<float>(s.settings.co2))
        .integer("co2_year", kCo2FactorYear)
        .num("annual_energy_kwh", static_cast<float>(s.annualEnergyKwh))
        .num("annual_cost", static_cast<float>(s.annualCost))
        .num("annual_co2_t", static_cast<float>(s.annualCo2T));
    number(j, "annual_loss_kwh", s.annualLossKwh);
    number(j, "annual_comprehensive_loss_kwh", s.annualComprehensiveLossKwh);
    number(j, "max_demand_kw", s.maxDemandKw);
    if (s.maxDemandKw) j.str("max_demand_at", clockText(s.maxDemandAt));
    else j.nul("max_demand_at");
    j.num("demand_minutes", static_cast<float>(s.settings.demandMinutes))
        .num("demand_step_minutes", static_cast<float>(s.settings.demandStepMinutes))
        .raw("tou", tou);
    number(j, "output_p99_kw", s.outputP99Kw);
    j.boolean("undersized", s.undersized).raw("candidates", candidates).str("savings_note", s.note).str("savings_rule", savingsRuleText());
    const std::string text = j.text();
    return text.substr(1, text.size() - 2);  // the members, to go into the assessment's object
}

std::string assessmentJson(const Assessment& a, const std::optional<Savings>& savings) {
    const IntervalStats& e = a.electrical;
    const auto rated = [&a](double RatedFigures::*member) {
        return a.rated ? std::optional<double>((*a.rated).*member) : std::nullopt;
    };
    std::string starts = "[";
    for (const MotorStart& s : a.starts) {
        JsonObject o;
        o.str("time", clockText(s.timeOfDay))
            .num("peak_a", static_cast<float>(s.peakAmperes))
            .num("peak_multiple", static_cast<float>(s.peakMultiple))
            .num("duration_s", static_cast<float>(s.seconds));
        starts += (starts.size() > 1 ? "," : "") + o.text();
    }
    starts += "]";
    std::string profile = "[";
    for (const LoadBand& b : a.loadProfile) {
        JsonObject o;
        o.str("band", b.name).num("seconds", static_cast<float>(b.seconds)).num("energy_kwh", static_cast<float>(b.energyKwh));
        profile += (profile.size() > 1 ? "," : "") + o.text();
    }
    profile += "]";
    JsonObject zones;
    const bool zoned = a.rated.has_value();
    number(zones, "economic", zoned ? std::optional<double>(a.zoneSeconds[0]) : std::nullopt);
    number(zones, "allowed", zoned ? std::optional<double>(a.zoneSeconds[1]) : std::nullopt);
    number(zones, "uneconomic", zoned ? std::optional<double>(a.zoneSeconds[2]) : std::nullopt);

    JsonObject j;
    j.integer("samples", e.samples)
        .integer("from", e.firstNumber)
        .integer("to", e.lastNumber)
        .num("duration_s", static_cast<float>(e.seconds))
        .num("k_q", static_cast<float>(a.settings.kq))
        .num("target_pf", static_cast<float>(a.settings.targetPowerFactor))
        .num("energy_in_kwh", static_cast<float>(a.energyInKwh));
    const bool motor = a.rated.has_value();
    number(j, "energy_running_kwh", motor ? std::optional<double>(a.energyRunningKwh) : std::nullopt);
    number(j, "energy_out_kwh", motor ? std::optional<double>(a.energyOutKwh) : std::nullopt);
    number(j, "energy_reactive_kvarh", motor ? std::optional<double>(a.energyReactiveKvarh) : std::nullopt);
    number(j, "running_s", motor ? std::optional<double>(a.runningSeconds) : std::nullopt);
    number(j, "below_no_load_s", motor ? std::optional<double>(a.belowNoLoadSeconds) : std::nullopt);
    number(j, "generating_s", motor ? std::optional<double>(a.generatingSeconds) : std::nullopt);
    number(j, "starting_s", motor ? std::optional<double>(a.startingSeconds) : std::nullopt);
    number(j, "efficiency", a.efficiency);
    number(j, "power_factor", e.powerFactor);
    if (*e.powerFactorIndicator) j.str("power_factor_indicator", QString::fromLatin1(e.powerFactorIndicator));
    else j.nul("power_factor_indicator");
    number(j, "load_rate_mean", a.loadRateMean);
    number(j, "load_rate_p95", a.loadRateP95);
    number(j, "load_rate_max", a.loadRateMax);
    number(j, "comprehensive_efficiency", a.comprehensiveEfficiency);
    number(j, "rated_comprehensive_efficiency", rated(&RatedFigures::ratedComprehensiveEfficiency));
    number(j, "allowed_comprehensive_efficiency", rated(&RatedFigures::allowedComprehensiveEfficiency));
    if (a.zone) j.str("zone", zoneName(*a.zone));
    else j.nul("zone");
    j.raw("zone_s", zones.text());
    number(j, "economic_load_rate_active", rated(&RatedFigures::economicLoadRateActive));
    number(j, "economic_load_rate_comprehensive", rated(&RatedFigures::economicLoadRateComprehensive));
    if (a.efficiencyClass.covered) j.str("efficiency_class", efficiencyClassName(a.efficiencyClass));
    else j.nul("efficiency_class");
    if (a.efficiencyClass.covered && a.efficiencyClass.gbGrade > 0) j.integer("gb18613_grade", a.efficiencyClass.gbGrade);
    else j.nul("gb18613_grade");
    number(j, "voltage_unbalance_mean", a.voltageUnbalanceMean);
    number(j, "voltage_unbalance_max", a.voltageUnbalanceMax);
    number(j, "voltage_unbalance_over_2_s", a.voltageUnbalanceOverGuideSeconds);
    number(j, "current_unbalance_mean", a.currentUnbalanceMean);
    number(j, "current_unbalance_max", a.currentUnbalanceMax);
    number(j, "compensation_kvar", a.compensationKvar);
    number(j, "compensation_max_kvar", a.compensationMaxKvar);
    j.boolean("leading", a.leading)
        .raw("starts", starts)
        .raw("load_profile", profile)
        .str("verdict", a.verdict)
        .str("zone_rule", zoneRuleText());
    if (a.motorNote.isEmpty()) j.nul("motor_note");
    else j.str("motor_note", a.motorNote);
    std::string text = j.text();
    if (savings) text.insert(text.size() - 1, "," + savingsJson(*savings));
    return text;
}

// A number of an option within [lo, hi], or false (reported as a usage error).
bool numberIn(const QString& cmd, const QString& option, const QString& text, double lo, double hi, double* out) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !(v >= lo && v <= hi)) {
        reportError(cmd, QStringLiteral("%1 needs a number from %2 to %3, not \"%4\"").arg(option).arg(lo).arg(hi).arg(text));
        return false;
    }
    *out = v;
    return true;
}

}  // namespace

int runAssess(const QString& cmd, Args args, const AssessmentReportPrinter& printReport,
              const AssessmentComparisonPrinter& printComparison) {
    QString file, output, from, to, kq, targetPf, hours, price, co2, demand, demandStep, tou;
    QString compare, compareFrom, compareTo;
    QStringList motorPrices;
    const auto option = [&](const QString& a, bool* missing) {
        if (a == QLatin1String("-o")) output = args.value(a, missing);
        else if (a == QLatin1String("--hours")) hours = args.value(a, missing);
        else if (a == QLatin1String("--price")) price = args.value(a, missing);
        else if (a == QLatin1String("--co2")) co2 = args.value(a, missing);
        else if (a == QLatin1String("--demand-minutes")) demand = args.value(a, missing);
        else if (a == QLatin1String("--demand-step-minutes")) demandStep = args.value(a, missing);
        else if (a == QLatin1String("--tou")) tou = args.value(a, missing);
        else if (a == QLatin1String("--motor-price")) motorPrices << args.value(a, missing);
        else if (a == QLatin1String("--from")) from = args.value(a, missing);
        else if (a == QLatin1String("--to")) to = args.value(a, missing);
        else if (a == QLatin1String("--kq")) kq = args.value(a, missing);
        else if (a == QLatin1String("--target-pf")) targetPf = args.value(a, missing);
        else if (a == QLatin1String("--compare")) compare = args.value(a, missing);
        else if (a == QLatin1String("--compare-from")) compareFrom = args.value(a, missing);
        else if (a == QLatin1String("--compare-to")) compareTo = args.value(a, missing);
        else return false;
        return true;
    };
    if (!takeFileAndOptions(cmd, args, &file, option)) return kExitUsage;
    if (file.isEmpty()) {
        reportError(cmd, QStringLiteral("which file? ") + QString::fromLatin1(kAssessUsage));
        return kExitUsage;
    }
    if (compare.isEmpty() && !(compareFrom.isEmpty() && compareTo.isEmpty())) {
        reportError(cmd, QStringLiteral("--compare-from and --compare-to go with --compare FILE2"));
        return kExitUsage;
    }
    AssessmentRequest request;
    request.file = file;
    double v = 0;
    const auto sampleOption = [&](const char* option, const QString& text, int64_t* out) {
        if (text.isEmpty()) return true;
        if (!positiveNumber(cmd, QLatin1String(option), text, &v, true)) return false;
        *out = static_cast<int64_t>(v);
        return true;
    };
    int64_t compareFirst = 1, compareLast = 0;
    if (!sampleOption("--from", from, &request.from) || !sampleOption("--to", to, &request.to) ||
        !sampleOption("--compare-from", compareFrom, &compareFirst) || !sampleOption("--compare-to", compareTo, &compareLast))
        return kExitUsage;
    if (!kq.isEmpty() && !numberIn(cmd, QStringLiteral("--kq"), kq, 0, 1, &request.settings.kq)) return kExitUsage;
    if (!targetPf.isEmpty() &&
        !numberIn(cmd, QStringLiteral("--target-pf"), targetPf, 0.01, 1, &request.settings.targetPowerFactor))
        return kExitUsage;
    SavingsSettings savings;
    const struct {
        const char* option;
        const QString& text;
        double lo, hi;
        double* value;
    } numbers[] = {{"--hours", hours, 0.01, 8784, &savings.hours},
                   {"--price", price, 0, 1e5, &savings.price},
                   {"--co2", co2, 0, 10, &savings.co2},
                   {"--demand-minutes", demand, 0.01, 1440, &savings.demandMinutes},
                   {"--demand-step-minutes", demandStep, 0.01, 1440, &savings.demandStepMinutes}};
    for (const auto& n : numbers)
        if (!n.text.isEmpty() && !numberIn(cmd, QString::fromLatin1(n.option), n.text, n.lo, n.hi, n.value))
            return kExitUsage;
    if (!tou.isEmpty()) {
        const Result<std::vector<TouPeriod>> periods = parseTouPeriods(tou);
        if (!periods) {
            reportError(cmd, QStringLiteral("--tou: ") + periods.message());
            return kExitUsage;
        }
        savings.periods = *periods;
    }
    for (const QString& m : motorPrices) {
        const int eq = m.indexOf(QLatin1Char('='));
        bool ok = false;
        const double yuan = eq > 0 ? m.mid(eq + 1).toDouble(&ok) : 0;
        if (!ok || !(yuan > 0 && yuan < 1e12)) {
            reportError(cmd, QStringLiteral("--motor-price needs CODE=YUAN (a catalogue code or IE3-<kW>, IE4-<kW>), not \"%1\"").arg(m));
            return kExitUsage;
        }
        savings.motorPrices[m.left(eq).trimmed()] = yuan;
    }
    request.savings = savings;
    // The candidates come from the catalogue beside the program; without it there are none, and the JSON says why.
    request.catalogueDir = programDirectory();
    if (!output.isEmpty() && (outputIsInput(cmd, output, file) || (!compare.isEmpty() && outputIsInput(cmd, output, compare))))
        return kExitUsage;

    using Clock = std::chrono::steady_clock;
    auto lastShown = Clock::now();
    const auto progress = [&](int64_t done, int64_t total) {
        if (Clock::now() - lastShown >= std::chrono::seconds(1)) {
            lastShown = Clock::now();
            std::fprintf(stderr, "%s: %lld of %lld samples\n", cmd.toLocal8Bit().constData(),
                         static_cast<long long>(done), static_cast<long long>(total));
        }
        return true;
    };
    QString warning;
    const Result<AssessmentOutcome> outcome = assessFile(request, progress, &warning);
    if (!warning.isEmpty()) reportError(cmd, warning + passFailureHint(file));
    if (!outcome) {
        reportError(cmd, outcome.message() + passFailureHint(file));
        return kExitFailure;
    }
    const Assessment& a = outcome->assessment;
    if (!compare.isEmpty()) {
        // The state before: the same inputs over the other file's span; its savings are not part of the page.
        AssessmentRequest other = request;
        other.file = compare;
        other.from = compareFirst;
        other.to = compareLast;
        other.savings.reset();
        QString otherWarning;
        const Result<AssessmentOutcome> before = assessFile(other, progress, &otherWarning);
        if (!otherWarning.isEmpty()) reportError(cmd, otherWarning + passFailureHint(compare));
        if (!before) {
            reportError(cmd, before.message() + passFailureHint(compare));
            return kExitFailure;
        }
        if (!output.isEmpty()) {
            if (!printComparison) {
                reportError(cmd, QStringLiteral("the comparison cannot be printed by this program"));
                return kExitFailure;
            }
            if (const int status = printComparison(output, compare, *before, file, *outcome); status != kExitOk)
                return status;
        }
        std::string json = assessmentJson(a, outcome->savings);
        json.insert(json.size() - 1, ",\"compared\":" + assessmentJson(before->assessment, std::nullopt));
        return printLine(json) ? kExitOk : kExitFailure;
    }
    if (!output.isEmpty()) {
        if (!printReport) {
            reportError(cmd, QStringLiteral("the report cannot be printed by this program"));
            return kExitFailure;
        }
        if (const int status = printReport(output, file, *outcome); status != kExitOk) return status;
    }
    return printLine(assessmentJson(a, outcome->savings)) ? kExitOk : kExitFailure;
}

}  // namespace mervo::tool
