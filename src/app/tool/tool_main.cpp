// mervo-tool: the measurement logic from the command line, for batch work and scripts.
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/tool/tool_common.h"

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

// Whether the arguments ask for a printing command: table, report, and assess with -o; not when help is asked
// for, which this program gives.
bool printingCommand(int argc, char** argv) {
    if (argc < 2) return false;
    const std::string cmd = argv[1];
    bool output = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") return false;
        output = output || a == "-o";
    }
    return cmd == "table" || cmd == "report" || (cmd == "assess" && output);
}

// The printing commands live in a program of their own beside this one, so the other commands start without
// loading the GUI, font and printing libraries: it is started in this process's place with the same arguments,
// before this one sets up its Qt application (a short report's time is mostly the starting of the two programs).
int runPrintingProgram(char** argv) {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(argv[0]);
    path = path.substr(0, path.rfind('/') + 1) + "mervo-tool-print";
    ::execv(path.c_str(), argv);
    const int why = errno;
    mervo::tool::reportError(QString::fromLocal8Bit(argv[1]), QStringLiteral("cannot start %1: %2")
                                                                  .arg(QString::fromLocal8Bit(path.c_str()),
                                                                       QString::fromLocal8Bit(std::strerror(why))));
    return mervo::tool::kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    if (printingCommand(argc, argv)) return runPrintingProgram(argv);
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
