// mervo-tool: the measurement logic from the command line, for batch work and scripts.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/tool/tool_common.h"

namespace mervo::tool {

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

}  // namespace mervo::tool

namespace {

// Qt's own warnings (a runtime directory it would like, a font it substitutes) mean nothing to a script that
// reads stderr for our one error line; they are shown only with MERVO_QT_MESSAGES set. Critical and fatal
// messages always pass.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    static const bool show = qEnvironmentVariableIsSet("MERVO_QT_MESSAGES");
    if (!show && type != QtCriticalMsg && type != QtFatalMsg) return;
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

const char kUsage[] =
    "usage: mervo-tool <command> [options]\n"
    "commands:\n"
    "  receive --port DEV -o FILE [--seconds T | --blocks N] [--ct R] [--pt R] [--channels RBY]\n"
    "          [--motor CODE | --nameplate p,PN,IN,eta,I0,P0,UN] [--dir DIR]\n"
    "  info FILE\n"
    "  recover FILE\n"
    "  analyze FILE\n"
    "  sample FILE NO\n"
    "  export FILE [-o OUT.csv]\n"
    "  table FILE -o OUT.pdf [--from A] [--to B] [--org T] [--device T] [--date Y,M,D,h,m]\n"
    "  motor CODE [--dir DIR]\n"
    "  report FILE -o OUT.pdf [--org T] [--device T] [--date Y,M,D,h,m]\n"
    "exit status: 0 done, 1 failed (the reason on stderr), 2 usage error,\n"
    "             3 receive ended because the instrument was disconnected (every block received is kept)\n";

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quietQtMessages);
    // Printed documents lay out text with fonts, which needs a GUI application; headless, on no display.
    const bool prints = argc > 1 && (std::strcmp(argv[1], "report") == 0 || std::strcmp(argv[1], "table") == 0);
    if (prints && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (prints)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QStringList args = app->arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        std::fputs(kUsage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? mervo::tool::kExitUsage : mervo::tool::kExitOk;
    }
    const QString cmd = args.takeFirst();
    mervo::tool::Args rest(args);
    if (cmd == QLatin1String("receive")) return mervo::tool::runReceive(cmd, rest);
    if (cmd == QLatin1String("recover")) return mervo::tool::runRecover(cmd, rest);
    if (cmd == QLatin1String("info")) return mervo::tool::runInfo(cmd, rest);
    if (cmd == QLatin1String("analyze")) return mervo::tool::runAnalyze(cmd, rest);
    if (cmd == QLatin1String("sample")) return mervo::tool::runSample(cmd, rest);
    if (cmd == QLatin1String("export")) return mervo::tool::runExport(cmd, rest);
    if (cmd == QLatin1String("table")) return mervo::tool::runTable(cmd, rest);
    if (cmd == QLatin1String("motor")) return mervo::tool::runMotor(cmd, rest);
    if (cmd == QLatin1String("report")) return mervo::tool::runReport(cmd, rest);
    mervo::tool::reportError(cmd, QStringLiteral("unknown command"));
    std::fputs(kUsage, stderr);
    return mervo::tool::kExitUsage;
}
