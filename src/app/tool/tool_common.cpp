// What every command of both tool programs shares: the error line, the checked line on stdout, option values.
#include <cmath>
#include <cstdio>

#include "app/tool/tool_common.h"

namespace mervo::tool {

// Qt's own warnings (a runtime directory it would like, a font it substitutes) mean nothing to a script that
// reads stderr for our one error line; they are shown only with MERVO_QT_MESSAGES set. Critical and fatal
// messages always pass.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    static const bool show = qEnvironmentVariableIsSet("MERVO_QT_MESSAGES");
    if (!show && type != QtCriticalMsg && type != QtFatalMsg) return;
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void reportError(const QString& what, const QString& why) {
    std::fprintf(stderr, "mervo-tool: %s: %s\n", what.toLocal8Bit().constData(), why.toLocal8Bit().constData());
    std::fflush(stderr);
}

bool printLine(const std::string& line) {
    const bool written = std::fputs(line.c_str(), stdout) != EOF && std::fputc('\n', stdout) != EOF &&
                         std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (!written) reportError(QStringLiteral("standard output"), QStringLiteral("write failed"));
    return written;
}

QString Args::value(const QString& option, bool* missing) {
    if (atEnd()) {
        reportError(option, QStringLiteral("needs a value"));
        *missing = true;
        return QString();
    }
    return next();
}

bool positiveNumber(const QString& cmd, const QString& option, const QString& text, double* out, bool whole) {
    bool ok = false;
    const double v = whole ? static_cast<double>(text.toLongLong(&ok)) : text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0) {
        reportError(cmd, QStringLiteral("%1 needs a %2 number above 0, not \"%3\"")
                             .arg(option, whole ? QStringLiteral("whole") : QStringLiteral("positive"), text));
        return false;
    }
    *out = v;
    return true;
}

}  // namespace mervo::tool
