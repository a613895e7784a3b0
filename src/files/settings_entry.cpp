#include "files/settings_entry.h"

#include <cmath>

#include "acquisition/record_scaling.h"
#include "shared/text_parse.h"

namespace mervo {

Result<SettingsEntry> checkSettingsTexts(const SettingsTexts& t, SettingsField* field) {
    const auto refuse = [field](SettingsField f, const QString& why) {
        if (field) *field = f;
        return Status::failure(why);
    };
    SettingsEntry e;
    const std::optional<float> ct = floatFromText(t.ct), pt = floatFromText(t.pt);
    if (!ct || *ct <= 0) return refuse(SettingsField::CTRatio, QStringLiteral("CT倍率必须是大于零的数值！"));
    if (!pt || *pt <= 0) return refuse(SettingsField::PTRatio, QStringLiteral("PT倍率必须是大于零的数值！"));
    if (const QString why = ratioPairProblem(*ct, *pt); !why.isEmpty()) return refuse(SettingsField::CTRatio, why);
    e.CTRatio = *ct;
    e.PTRatio = *pt;

    const SettingsField parts[3] = {SettingsField::Hours, SettingsField::Minutes, SettingsField::Seconds};
    const double unit[3] = {3600, 60, 1};
    double seconds = 0;
    for (int i = 0; i < 3; ++i) {
        const QString& text = t.duration[static_cast<size_t>(i)];
        const std::optional<double> v = text.trimmed().isEmpty() ? 0.0 : numberFromText(text);
        if (!v || *v < 0 || !std::isfinite(static_cast<float>(*v)))
            return refuse(parts[i], QStringLiteral("累计时间的时、分、秒必须是不小于零的数值！"));
        seconds += *v * unit[i];
    }
    if (!std::isfinite(static_cast<float>(seconds))) return refuse(SettingsField::Hours, QStringLiteral("累计时间过长！"));
    if (seconds < 1) return refuse(SettingsField::Seconds, QStringLiteral("累计时间至少为1秒！"));
    e.TotalTime = static_cast<float>(seconds);
    return e;
}

}  // namespace mervo
