// mervo-tool receive: records a measurement from a serial device, as the main window's receive does.
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "acquisition/receive_session.h"
#include "acquisition/record_scaling.h"
#include "app/tool/tool_common.h"
#include "files/settings_file.h"
#include "motor/operating_point.h"
#include "platform/program_dir.h"
#include "platform/qt_core/qt_serial_port.h"
#include "platform/stop_signals.h"
#include "shared/json_writer.h"
#include "shared/text_parse.h"

namespace mervo::tool {

namespace {

const char* endName(ReceiveEnd e, bool blockLimit) {
    switch (e) {
        case ReceiveEnd::TimeReached: return "time_reached";
        case ReceiveEnd::Stopped: return blockLimit ? "blocks" : "stopped";
        case ReceiveEnd::PortLost: return "port_lost";
        case ReceiveEnd::WriteFailed: return "write_failed";
        case ReceiveEnd::Aborted: return "aborted";
        case ReceiveEnd::None: break;
    }
    return "none";
}

// A positive number that stays positive and finite as a float: a ratio of 1e-50 would store every value as 0.
bool parsePositive(const QString& text, double* out) {
    const std::optional<float> v = floatFromText(text);
    if (!v || !(*v > 0)) return false;
    *out = *v;
    return true;
}

struct ReceiveOptions {
    QString port, output, dir;
    double seconds = 0;  // 0: manual receive
    long long blocks = 0;
    double ct = 0, pt = 0;  // 0: from the settings file
    QString channels;
    bool reconnect = false;  // wait for a device that went away
    bool haveNameplate = false;
    int motorCode = 0;  // 0: none
    std::array<float, 7> nameplate{};
};

// Returns kExitOk, or the exit status of a usage error already reported.
int parseOptions(const QString& cmd, Args& args, ReceiveOptions* o) {
    auto usage = [&](const QString& why) {
        reportError(cmd, why);
        return kExitUsage;
    };
    bool missing = false;
    while (!args.atEnd()) {
        const QString a = args.next();
        if (a == "--reconnect") {
            o->reconnect = true;
            continue;
        }
        const bool takesValue = a == "--port" || a == "-o" || a == "--seconds" || a == "--blocks" || a == "--ct" ||
                                a == "--pt" || a == "--channels" || a == "--nameplate" || a == "--motor" || a == "--dir";
        if (!takesValue) return usage(QStringLiteral("unknown option %1").arg(a));
        const QString v = args.value(a, &missing);
        if (missing) return kExitUsage;
        if (a == "--port") o->port = v;
        else if (a == "-o") o->output = v;
        else if (a == "--dir") o->dir = v;
        else if (a == "--channels") o->channels = v;
        else if (a == "--motor") {
            if (!parseMotorCode(v, &o->motorCode))
                return usage(QStringLiteral("--motor wants a catalogue code 1 to 6935, not \"%1\"").arg(v));
        }
        else if (a == "--seconds") {
            if (!parsePositive(v, &o->seconds) || o->seconds > 32767.0 * 3600.0)
                return usage(QStringLiteral("--seconds wants a positive number of seconds, not \"%1\"").arg(v));
        } else if (a == "--blocks") {
            const std::optional<int64_t> blocks = integerFromText(v);
            o->blocks = blocks ? *blocks : 0;
            if (o->blocks < 1) return usage(QStringLiteral("--blocks wants a whole number of at least 1, not \"%1\"").arg(v));
        } else if (a == "--ct" || a == "--pt") {
            if (!parsePositive(v, a == "--ct" ? &o->ct : &o->pt))
                return usage(QStringLiteral("%1 wants a positive ratio, not \"%2\"").arg(a, v));
        } else if (a == "--nameplate") {
            if (const QString why = parseNameplateOption(v, &o->nameplate); !why.isEmpty()) return usage(why);
            o->haveNameplate = true;
        }
    }
    if (o->port.isEmpty()) return usage(QStringLiteral("--port DEV is required"));
    if (o->output.isEmpty()) return usage(QStringLiteral("-o FILE is required"));
    if (o->motorCode > 0 && o->haveNameplate) return usage(QStringLiteral("--motor and --nameplate exclude each other"));
    if (o->seconds > 0 && o->blocks > 0) return usage(QStringLiteral("--seconds and --blocks exclude each other"));
    if (!o->channels.isEmpty() && !QRegularExpression(QStringLiteral("^[01]{3}$")).match(o->channels).hasMatch())
        return usage(QStringLiteral("--channels wants three digits 0 or 1 (red, blue, yellow), not \"%1\"").arg(o->channels));
    if (o->channels == QLatin1String("000")) return usage(QStringLiteral("--channels: at least one clamp must be connected"));
    return kExitOk;
}

}  // namespace

int runReceive(const QString& cmd, Args args) {
    ReceiveOptions o;
    if (const int rc = parseOptions(cmd, args, &o); rc != kExitOk) return rc;

    // The program directory's settings give the defaults, as they do for the window.
    const QString dir = o.dir.isEmpty() ? programDirectory() : o.dir;
    SharedState st;
    // As the window does, the operator hears of a settings file that is there but not wholly usable.
    const SettingsReadReport settings = readSettingsFile(settingsFilePath(dir), st.settings, st.file.TotalTime);
    if (const QString problem = settings.problem(); !problem.isEmpty()) reportError(cmd, problem);
    if (o.ct > 0) st.settings.CTRatio = static_cast<float>(o.ct);
    if (o.pt > 0) st.settings.PTRatio = static_cast<float>(o.pt);
    if (const QString why = ratioPairProblem(st.settings.CTRatio, st.settings.PTRatio); !why.isEmpty()) {
        reportError(cmd, (o.ct > 0 || o.pt > 0 ? QStringLiteral("--ct/--pt: ") : QString()) + why);
        return o.ct > 0 || o.pt > 0 ? kExitUsage : kExitFailure;
    }
    if (!o.channels.isEmpty()) {
        st.settings.RedOn = o.channels[0] == QLatin1Char('1');
        st.settings.BlueOn = o.channels[1] == QLatin1Char('1');
        st.settings.YellowOn = o.channels[2] == QLatin1Char('1');
    }
    st.settings.recomputeWiringCode();
    if (o.motorCode > 0) {
        const auto nameplate = catalogueNameplate(dir, o.motorCode);
        if (!nameplate) {
            reportError(cmd, nameplate.message());
            return kExitFailure;
        }
        o.nameplate = *nameplate;
        o.haveNameplate = true;
    }
    if (o.haveNameplate) confirmNameplate(st.motor, o.nameplate);
    const ReceiveMode mode = o.seconds > 0 ? ReceiveMode::Timed : ReceiveMode::Manual;
    if (mode == ReceiveMode::Timed) st.file.TotalTime = static_cast<float>(o.seconds);

    // A receive creates its file afresh; an earlier measurement under that name is never recorded over.
    if (QFileInfo::exists(o.output) || QFileInfo(o.output).isSymLink()) {
        reportError(cmd, QStringLiteral("%1 already exists; choose another name or remove it first").arg(o.output));
        return kExitFailure;
    }

    QString device = o.port;
    const auto com = QRegularExpression(QStringLiteral("^COM([1-8])$")).match(o.port);
    if (com.hasMatch()) device = devicePathForPort(com.captured(1).toInt(), dir);

    StopSignals stopSignals;
    if (!stopSignals.install()) {
        reportError(cmd, QStringLiteral("cannot install the stop signal handlers"));
        return kExitFailure;
    }

    SystemClock clock;
    QtSerialPort port;
    ReceiveSession session(st, clock, port);
    ReceiveSession::StartFailure failure;
    if (Status s = session.start(mode, device, QFileInfo(o.output).absoluteFilePath(), o.reconnect, &failure); !s) {
        if (failure.step == ReceiveSession::StartStep::WorkFile) reportError(cmd, s.message());
        else if (failure.openError == SerialPort::OpenError::NotFound)
            reportError(cmd, QStringLiteral("%1: no such device").arg(device));
        else reportError(cmd, QStringLiteral("%1: %2").arg(device, s.reason()));
        return kExitFailure;
    }
    const ReceiveCycle& cycle = session.cycle();

    bool blockLimitHit = false;
    session.cycle().onBlock = [&] {
        if (o.blocks > 0 && cycle.blocks() >= o.blocks) {
            blockLimitHit = true;
            session.cycle().requestStop();
        }
    };
    QObject::connect(&session, &ReceiveSession::ended, [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); });
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &session, &ReceiveSession::stop);
    QObject::connect(&session, &ReceiveSession::progress, [&] {
        if (session.waitingForDevice())
            std::fprintf(stderr, "receive: %lld blocks, the device has gone; waiting for %s to come back (%.0f s)\n",
                         static_cast<long long>(cycle.blocks()), qPrintable(device), session.disconnectedSeconds());
        else
            std::fprintf(stderr, "receive: %lld blocks, %.1f s, %llu bytes skipped\n", static_cast<long long>(cycle.blocks()),
                         static_cast<double>(st.file.ElapsedTime), static_cast<unsigned long long>(cycle.skippedBytes()));
    });
    session.drain();
    if (session.running()) QCoreApplication::exec();

    const ReceiveEnd end = cycle.end();
    JsonObject j;
    j.str("file", QFileInfo(o.output).absoluteFilePath())
        .integer("samples", cycle.blocks())
        .num("elapsed", st.file.ElapsedTime)
        .integer("skipped_bytes", static_cast<long long>(cycle.skippedBytes()))
        .str("end", QString::fromLatin1(endName(end, blockLimitHit)));
    if (o.reconnect) j.integer("gaps", static_cast<long long>(cycle.gaps().list().size()));
    const bool printed = printLine(j.text());
    switch (end) {
        case ReceiveEnd::PortLost:
            reportError(cmd, QStringLiteral("the instrument was disconnected; the %1 samples received are kept in %2")
                                 .arg(cycle.blocks())
                                 .arg(o.output));
            return kExitPortLost;
        case ReceiveEnd::WriteFailed:
            reportError(cmd, QStringLiteral("writing the file failed (%1); what was written is kept").arg(cycle.endDetail()));
            return kExitFailure;
        case ReceiveEnd::Aborted:
            reportError(cmd, QStringLiteral("a block could not be processed (error %1); the receive was aborted")
                                 .arg(cycle.errorNumber()));
            return kExitFailure;
        default:
            return printed ? kExitOk : kExitFailure;
    }
}

}  // namespace mervo::tool
