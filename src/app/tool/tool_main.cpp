// mervo-tool-core: mervo-tool's commands but the printing ones, which mervo-tool starts in its place (the usage,
// help and version are answered here).
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "app/tool/tool_common.h"
#include "app/tool/tool_dispatch.h"

namespace {

const char kUsage[] =
    "usage: mervo-tool <command> [options]   (mervo-tool help COMMAND, mervo-tool --version)\n"
    "commands:\n"
    "  receive --port DEV -o FILE [--seconds T | --blocks N] [--ct R] [--pt R] [--channels RBY]\n"
    "          [--motor CODE | --nameplate p,PN,IN,eta,I0,P0,UN] [--dir DIR] [--reconnect]\n"
    "          --reconnect: a device that goes away is waited for on the same port (COMn, a by-id name)\n"
    "          and the receive goes on in the same measurement, the gap kept beside it (FILE.side)\n"
    "  info FILE\n"
    "  recover FILE\n"
    "  analyze FILE\n"
    "  sample FILE NO\n"
    "  export FILE [-o OUT.csv] [--interval S] [--from A] [--to B] [--excel]\n"
    "  table FILE -o OUT.pdf [--from A] [--to B] [--org T] [--device T] [--date Y,M,D,h,m]\n"
    "  motor CODE [--dir DIR]\n"
    "  nameplate FILE (--motor CODE | --nameplate p,PN,IN,eta,I0,P0,UN) [--dir DIR]\n"
    "  marker FILE (--at N --text T | --delete N)\n"
    "         --at: a marker at sample N (from 1) with the text T, in place of one already there;\n"
    "         --delete: the marker at sample N removed; info lists them (FILE.side)\n"
    "  report FILE -o OUT.pdf [--org T] [--device T] [--date Y,M,D,h,m]\n"
    "  assess FILE [--from A] [--to B] [--kq K] [--target-pf X] [--hours H] [--price P] [--co2 F]\n"
    "         [--demand-minutes M] [--demand-step-minutes S] [--tou \"HH:MM-HH:MM=NAME@PRICE;...\"]\n"
    "         [--motor-price CODE=YUAN]... [--compare FILE2 [--compare-from A] [--compare-to B]] [-o OUT.pdf]\n"
    "         --compare: FILE2's samples A..B (all by default) assessed alike as the state before a change\n"
    "         (\"compared\" in the JSON); -o then prints both side by side on one page (before / after)\n"
    "exit status: 0 done, 1 failed (the reason on stderr), 2 usage error,\n"
    "             3 receive ended because the instrument was disconnected (every block received is kept;\n"
    "               not with --reconnect)\n";

const char kVersion[] = "mervo-tool " MERVO_VERSION "\n";

// The usage of one command: its lines of kUsage with the exit statuses; empty for a name that is no command.
std::string usageOf(const QString& cmd) {
    std::string out;
    bool inCommand = false;
    for (const QString& line : QString::fromLatin1(kUsage).split(QLatin1Char('\n'))) {
        const bool commandLine = line.startsWith(QLatin1String("  ")) && !line.startsWith(QLatin1String("   "));
        if (commandLine) inCommand = line.mid(2).section(QLatin1Char(' '), 0, 0) == cmd;
        else if (!line.startsWith(QLatin1String("   "))) inCommand = false;
        if (inCommand) out += (commandLine ? "usage: mervo-tool " + line.mid(2) : line).toStdString() + "\n";
    }
    if (out.empty()) return out;
    const QString text = QString::fromLatin1(kUsage);
    return out + text.mid(text.indexOf(QLatin1String("exit status"))).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    // Started by its own name, it hands the printing commands on as mervo-tool does.
    if (mervo::tool::printingCommand(argc, argv)) return mervo::tool::runInstead(mervo::tool::kPrintingProgram, argv);
    qInstallMessageHandler(mervo::tool::quietQtMessages);
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        std::fputs(kUsage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? mervo::tool::kExitUsage : mervo::tool::kExitOk;
    }
    if (args.first() == QLatin1String("--version")) {
        std::fputs(kVersion, stdout);
        return mervo::tool::kExitOk;
    }
    // "help CMD" and "CMD --help" print the command's usage.
    const bool helpFirst = args.first() == QLatin1String("help");
    if (helpFirst && args.size() == 1) {
        std::fputs(kUsage, stdout);
        return mervo::tool::kExitOk;
    }
    const QString cmd = helpFirst ? args.at(1) : args.takeFirst();
    if (helpFirst || args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        const std::string usage = usageOf(cmd);
        if (usage.empty()) {
            mervo::tool::reportError(cmd, QStringLiteral("unknown command"));
            std::fputs(kUsage, stderr);
            return mervo::tool::kExitUsage;
        }
        std::fputs(usage.c_str(), stdout);
        return mervo::tool::kExitOk;
    }
    mervo::tool::Args rest(args);
    if (cmd == QLatin1String("receive")) return mervo::tool::runReceive(cmd, rest);
    if (cmd == QLatin1String("recover")) return mervo::tool::runRecover(cmd, rest);
    if (cmd == QLatin1String("info")) return mervo::tool::runInfo(cmd, rest);
    if (cmd == QLatin1String("analyze")) return mervo::tool::runAnalyze(cmd, rest);
    if (cmd == QLatin1String("sample")) return mervo::tool::runSample(cmd, rest);
    if (cmd == QLatin1String("export")) return mervo::tool::runExport(cmd, rest);
    if (cmd == QLatin1String("nameplate")) return mervo::tool::runNameplate(cmd, rest);
    if (cmd == QLatin1String("marker")) return mervo::tool::runMarker(cmd, rest);
    if (cmd == QLatin1String("motor")) return mervo::tool::runMotor(cmd, rest);
    // assess with -o went to the printing program above; the JSON alone is given here.
    if (cmd == QLatin1String("assess")) return mervo::tool::runAssess(cmd, rest);
    mervo::tool::reportError(cmd, QStringLiteral("unknown command"));
    std::fputs(kUsage, stderr);
    return mervo::tool::kExitUsage;
}
