// mervo-tool motor CODE: a catalogue motor's nameplate as JSON.
#include <QDir>

#include "app/tool/tool_common.h"
#include "motor/catalogue.h"
#include "motor/operating_point.h"
#include "platform/program_dir.h"
#include "shared/json_writer.h"
#include "shared/text_parse.h"

namespace mervo::tool {

bool parseMotorCode(const QString& text, int* code) {
    const std::optional<int64_t> v = integerFromText(text);
    if (!v || *v < 1 || *v > kMaxCode) return false;
    *code = static_cast<int>(*v);
    return true;
}

Result<std::array<float, 7>> catalogueNameplate(const QString& dir, int code) {
    return readNameplate(QDir(dir).filePath(QLatin1String(kNameplateFileName)), code);
}

int runMotor(const QString& cmd, Args args) {
    QString codeText, dir;
    bool missing = false;
    while (!args.atEnd()) {
        const QString a = args.next();
        if (a == QLatin1String("--dir")) {
            dir = args.value(a, &missing);
            if (missing) return kExitUsage;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1 && !a.at(1).isDigit()) {
            reportError(cmd, QStringLiteral("unknown option %1").arg(a));
            return kExitUsage;
        } else if (codeText.isEmpty()) {
            codeText = a;
        } else {
            reportError(cmd, QStringLiteral("one code at a time"));
            return kExitUsage;
        }
    }
    if (codeText.isEmpty()) {
        reportError(cmd, QStringLiteral("which code? usage: mervo-tool motor CODE [--dir DIR]"));
        return kExitUsage;
    }
    int code = 0;
    if (!parseMotorCode(codeText, &code)) {
        reportError(cmd, QStringLiteral("\"%1\" is not a catalogue code (1 to %2)").arg(codeText).arg(kMaxCode));
        return kExitFailure;
    }
    const auto nameplate = catalogueNameplate(dir.isEmpty() ? programDirectory() : dir, code);
    if (!nameplate) {
        reportError(cmd, nameplate.message());
        return kExitFailure;
    }
    MotorValues m;
    confirmNameplate(m, *nameplate);
    JsonObject j;
    j.integer("code", code).floats("nameplate", *nameplate).boolean("valid", m.MotorDataValid);
    if (m.MotorDataValid) j.num("rated_loss", m.MotorRatedLoss);
    else j.nul("rated_loss");
    return printLine(j.text()) ? kExitOk : kExitFailure;
}

}  // namespace mervo::tool
