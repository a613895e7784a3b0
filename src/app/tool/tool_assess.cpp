// mervo-tool assess FILE [--from A] [--to B] [--kq K] [--target-pf X] [-o OUT.pdf]: the motor assessment of
// samples A..B as one JSON object; -o also prints the assessment report.
#include <QFileInfo>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/tool/tool_common.h"
#include "assessment/assessment_run.h"
#include "shared/json_writer.h"
#include "shared/time_split.h"

namespace mervo::tool {

namespace {

const char kAssessUsage[] =
    "usage: mervo-tool assess FILE [--from A] [--to B] [--kq K] [--target-pf X] [-o OUT.pdf]";

JsonObject& number(JsonObject& j, const char* key, std::optional<double> v) {
    return v && std::isfinite(*v) ? j.num(key, static_cast<float>(*v)) : j.nul(key);
}

std::string assessmentJson(const Assessment& a) {
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
    return j.text();
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

int runAssess(const QString& cmd, Args args, const AssessmentReportPrinter& printReport) {
    QString file, output, from, to, kq, targetPf;
    const auto option = [&](const QString& a, bool* missing) {
        if (a == QLatin1String("-o")) output = args.value(a, missing);
        else if (a == QLatin1String("--from")) from = args.value(a, missing);
        else if (a == QLatin1String("--to")) to = args.value(a, missing);
        else if (a == QLatin1String("--kq")) kq = args.value(a, missing);
        else if (a == QLatin1String("--target-pf")) targetPf = args.value(a, missing);
        else return false;
        return true;
    };
    if (!takeFileAndOptions(cmd, args, &file, option)) return kExitUsage;
    if (file.isEmpty()) {
        reportError(cmd, QStringLiteral("which file? ") + QString::fromLatin1(kAssessUsage));
        return kExitUsage;
    }
    AssessmentRequest request;
    request.file = file;
    double v = 0;
    if (!from.isEmpty()) {
        if (!positiveNumber(cmd, QStringLiteral("--from"), from, &v, true)) return kExitUsage;
        request.from = static_cast<int64_t>(v);
    }
    if (!to.isEmpty()) {
        if (!positiveNumber(cmd, QStringLiteral("--to"), to, &v, true)) return kExitUsage;
        request.to = static_cast<int64_t>(v);
    }
    if (!kq.isEmpty() && !numberIn(cmd, QStringLiteral("--kq"), kq, 0, 1, &request.settings.kq)) return kExitUsage;
    if (!targetPf.isEmpty() &&
        !numberIn(cmd, QStringLiteral("--target-pf"), targetPf, 0.01, 1, &request.settings.targetPowerFactor))
        return kExitUsage;
    if (!output.isEmpty() && outputIsInput(cmd, output, file)) return kExitUsage;

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
    const Result<Assessment> a = assessFile(request, progress, &warning);
    if (!warning.isEmpty()) reportError(cmd, warning + passFailureHint(file));
    if (!a) {
        reportError(cmd, a.message() + passFailureHint(file));
        return kExitFailure;
    }
    if (!output.isEmpty()) {
        if (!printReport) {
            reportError(cmd, QStringLiteral("the report cannot be printed by this program"));
            return kExitFailure;
        }
        if (const int status = printReport(output, file, *a); status != kExitOk) return status;
    }
    return printLine(assessmentJson(*a)) ? kExitOk : kExitFailure;
}

}  // namespace mervo::tool
