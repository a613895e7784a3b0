// mervo-tool nameplate FILE (--motor CODE | --nameplate p,PN,IN,eta,I0,P0,UN) [--dir DIR]: a motor nameplate
// written into a measurement recorded without the right one.
#include "app/tool/tool_common.h"
#include "measurement/nameplate_rewrite.h"
#include "platform/program_dir.h"
#include "shared/text_parse.h"

namespace mervo::tool {

QString parseNameplateOption(const QString& text, std::array<float, 7>* nameplate) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 7) return QStringLiteral("--nameplate wants seven numbers p,PN,IN,eta,I0,P0,UN");
    for (int i = 0; i < 7; ++i) {
        const std::optional<float> x = floatFromText(parts[i]);
        if (!x || *x < 0) return QStringLiteral("--nameplate: \"%1\" is not a non-negative number").arg(parts[i]);
        (*nameplate)[static_cast<size_t>(i)] = *x;
    }
    return QString();
}

int runNameplate(const QString& cmd, Args args) {
    QString file, motor, typed, dir;
    const auto option = [&](const QString& a, bool* missing) {
        if (a == QLatin1String("--motor")) motor = args.value(a, missing);
        else if (a == QLatin1String("--nameplate")) typed = args.value(a, missing);
        else if (a == QLatin1String("--dir")) dir = args.value(a, missing);
        else return false;
        return true;
    };
    if (!takeFileAndOptions(cmd, args, &file, option)) return kExitUsage;
    if (file.isEmpty() || motor.isEmpty() == typed.isEmpty()) {
        reportError(cmd, QStringLiteral("usage: mervo-tool nameplate FILE (--motor CODE | --nameplate p,PN,IN,eta,I0,P0,UN) "
                                        "[--dir DIR]"));
        return kExitUsage;
    }
    std::array<float, 7> nameplate{};
    if (!typed.isEmpty()) {
        if (const QString why = parseNameplateOption(typed, &nameplate); !why.isEmpty()) {
            reportError(cmd, why);
            return kExitUsage;
        }
    } else {
        int code = 0;
        if (!parseMotorCode(motor, &code)) {
            reportError(cmd, QStringLiteral("--motor wants a catalogue code 1 to 6935, not \"%1\"").arg(motor));
            return kExitUsage;
        }
        const auto fromCatalogue = catalogueNameplate(dir.isEmpty() ? programDirectory() : dir, code);
        if (!fromCatalogue) {
            reportError(cmd, fromCatalogue.message());
            return kExitFailure;
        }
        nameplate = *fromCatalogue;
    }
    if (Status s = writeNameplate(file, nameplate); !s) {
        reportError(cmd, s.message());
        return kExitFailure;
    }
    return printInfo(cmd, file);
}

}  // namespace mervo::tool
