// mervo-tool analyze FILE: the statistics and axes of a whole analysis pass, as JSON.
#include "analysis/analysis_pass.h"
#include "app/tool/tool_common.h"
#include "shared/json_writer.h"

namespace mervo::tool {

int runAnalyze(const QString& cmd, Args args) {
    QString file;
    if (!takeSingleFile(cmd, args, &file)) return kExitUsage;

    SharedState st;
    AnalysisPass pass(st, nullptr);
    pass.keepEnergySeries(false);  // nothing here queries a record
    if (!runWholePass(cmd, file, st, pass)) return kExitFailure;
    if (!pass.finished()) {
        reportError(cmd,
                    pass.failed() ? pass.error() : QStringLiteral("%1: the pass did not finish").arg(file));
        return kExitFailure;
    }

    const CurveValues& c = st.curves;
    std::string axes = "[";
    for (int k = 0; k < kCurves; ++k) {
        JsonObject a;
        a.num("min", c.CurveAxisMin[k])
            .num("max", c.CurveAxisMax[k])
            .num("step", c.CurveAxisStep[k])
            .str("unit", c.CurveUnit[k].trimmed());
        if (k > 0) axes += ",";
        axes += a.text();
    }
    axes += "]";

    JsonObject j;
    j.integer("samples", pass.total())
        .num("total_time", st.file.TotalTime)
        .floats("maxima", st.live.LiveMax)
        .floats("minima", st.live.LiveMin)
        .num("efficiency_max", c.EfficiencyMax)
        .num("efficiency_min", c.EfficiencyMin)
        .num("load_rate_max", c.LoadRateMax)
        .num("load_rate_min", c.LoadRateMin)
        .num("total_ep", c.TotalEp)
        .num("total_eq", c.TotalEq)
        .num("time_step", c.TimeStep)
        .raw("axes", axes);
    return printLine(j.text()) ? kExitOk : kExitFailure;
}

}  // namespace mervo::tool
