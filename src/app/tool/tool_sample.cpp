// mervo-tool sample FILE NO: what the data panel shows for sample NO after a full analysis, as JSON.
#include <cmath>

#include "analysis/analysis_pass.h"
#include "analysis/record_query.h"
#include "app/tool/tool_common.h"
#include "shared/json_writer.h"
#include "shared/number_format.h"
#include "shared/text_parse.h"

namespace mervo::tool {

namespace {

JsonObject& optionalNumber(JsonObject& j, const char* key, const std::optional<float>& v) {
    return v ? j.num(key, *v) : j.nul(key);
}

}  // namespace

int runSample(const QString& cmd, Args args) {
    QStringList positional;
    while (!args.atEnd()) {
        const QString a = args.next();
        if (a.startsWith(QLatin1Char('-')) && a.size() > 1 && !a.at(1).isDigit()) {
            reportError(cmd, QStringLiteral("unknown option %1").arg(a));
            return kExitUsage;
        }
        positional << a;
    }
    if (positional.size() != 2) {
        reportError(cmd, QStringLiteral("usage: mervo-tool sample FILE NO"));
        return kExitUsage;
    }
    const QString file = positional[0], noText = positional[1];
    const std::optional<double> number = numberFromText(noText);
    const double wanted = number ? *number : 0;
    if (!number || wanted != std::floor(wanted)) {
        reportError(cmd, QStringLiteral("\"%1\" is not a whole record number").arg(noText));
        return kExitUsage;
    }

    SharedState st;
    AnalysisPass pass(st, nullptr);
    if (!runWholePass(cmd, file, st, pass)) return kExitFailure;
    // Unlike the window, which corrects the query box, a script asking for a record that is not there gets
    // an error rather than a different record.
    const int64_t n = queryableSamples(st);
    if (wanted < 1 || wanted > static_cast<double>(n)) {
        reportError(cmd, QStringLiteral("record %1 is not in the measurement (1 to %2)").arg(noText).arg(n));
        return kExitFailure;
    }
    const auto no = static_cast<int64_t>(wanted);
    SegmentedCurveState seg;
    PanelContent panel;
    if (Status s = FENG(st, nullptr, no, seg, &panel); !s) {
        reportError(cmd, s.message());
        return kExitFailure;
    }

    const PanelSample& s = panel.sample;
    // The numbers the panel shows: magnitudes, the total active power with its sign, and the power factor
    // with the sign the panel turns into "L" or "C".
    std::array<float, 12> values{};
    for (int k = 0; k < 12; ++k) values[k] = (k == 2 || k == 8) ? s.values[k] : std::fabs(s.values[k]);
    const std::string time = "[" + std::to_string(s.time.TimeH) + "," + std::to_string(s.time.TimeM) + "," +
                             std::to_string(s.time.TimeS) + "," + formatShortestFloat(s.time.TimeCs) + "]";
    JsonObject j;
    j.integer("no", no)
        .num("elapsed", s.elapsed)
        .raw("time", time)
        .floats("values", values)
        .str("indicator", panel.indicator)
        .str("motor_state", panel.motorCaption);
    optionalNumber(j, "output_power", s.outputPower);
    optionalNumber(j, "efficiency", s.efficiency);
    optionalNumber(j, "load_rate", s.loadRate);
    return printLine(j.text()) ? kExitOk : kExitFailure;
}

}  // namespace mervo::tool
