// mervo-sim: an instrument on a pseudo-terminal (or a file, or stdout) for demos and tests.
#include <csignal>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "acquisition/instrument_sim.h"
#include "platform/program_dir.h"
#include "platform/pty.h"
#include "shared/text_parse.h"

using namespace mervo;

namespace {

std::atomic<bool> stopRequested{false};
void onSignal(int) { stopRequested = true; }

const char kUsage[] =
    "usage: mervo-sim [--pty | -o FILE | --stdout] [--com N] [--dir DIR] [--rate BLOCKS_PER_S]\n"
    "                 [--blocks N | --seconds T] [--scenario motor|constant|idle|generating] [--kw P] [--pf X]\n"
    "                 [--capacitive] [--channels RBY] [--ct R] [--pt R] [--seed S] [--filler] [--tee FILE]\n"
    "                 [--no-wait] [--start-delay MS] [--linger S]\n"
    "Streams instrument blocks. Default: a pseudo-terminal at 32 blocks/s (9600 baud), until interrupted.\n";

int usage(const QString& why) {
    std::fprintf(stderr, "mervo-sim: %s\n%s", why.toLocal8Bit().constData(), kUsage);
    return 2;
}

bool number(const QString& s, double* out) {
    const std::optional<double> v = numberFromText(s);
    if (v) *out = *v;
    return v.has_value();
}

void sleepSeconds(double s) {
    if (s > 0) std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    SimOptions opt;
    enum class Sink { Pty, File, Stdout } sink = Sink::Pty;
    QString outFile, teeFile, dir;
    int com = 0;
    double rate = 32, seconds = 0, startDelayMs = 300, linger = 2;
    long long blocks = 0;
    bool filler = false, waitReader = true;

    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        auto val = [&](QString* v) {
            if (i + 1 >= args.size()) return false;
            *v = args[++i];
            return true;
        };
        QString v;
        double d = 0;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--pty") sink = Sink::Pty;
        else if (a == "--stdout") sink = Sink::Stdout;
        else if (a == "--filler") filler = true;
        else if (a == "--capacitive") opt.capacitive = true;
        else if (a == "--no-wait") waitReader = false;
        else if (!val(&v)) return usage(QStringLiteral("%1: unknown option or missing value").arg(a));
        else if (a == "-o") { sink = Sink::File; outFile = v; }
        else if (a == "--tee") teeFile = v;
        else if (a == "--dir") dir = v;
        else if (a == "--com") {
            com = static_cast<int>(integerFromText(v).value_or(0));
            if (com < 1 || com > 8) return usage(QStringLiteral("--com wants 1 to 8"));
        } else if (a == "--scenario") {
            if (!parseScenario(v, &opt.scenario)) return usage(QStringLiteral("unknown scenario %1").arg(v));
        } else if (a == "--channels") {
            if (v.size() != 3 || v.contains(QRegularExpression("[^01]")))
                return usage(QStringLiteral("--channels wants three digits 0 or 1"));
            for (int k = 0; k < 3; ++k) opt.channels[k] = v[k] == QLatin1Char('1');
        } else if (!number(v, &d)) return usage(QStringLiteral("%1 wants a number, not \"%2\"").arg(a, v));
        else if (a == "--rate" && d >= 0) rate = d;
        else if (a == "--blocks" && d >= 1) blocks = static_cast<long long>(d);
        else if (a == "--seconds" && d > 0) seconds = d;
        else if (a == "--kw" && d > 0) opt.ratedKw = d;
        else if (a == "--pf" && d > 0 && d <= 1) opt.ratedPf = d;
        else if (a == "--ct" && d > 0) opt.ctRatio = d;
        else if (a == "--pt" && d > 0) opt.ptRatio = d;
        else if (a == "--seed") opt.seed = static_cast<uint32_t>(d);
        else if (a == "--start-delay" && d >= 0) startDelayMs = d;
        else if (a == "--linger" && d >= 0) linger = d;
        else return usage(QStringLiteral("%1: value \"%2\" out of range or unknown option").arg(a, v));
    }
    if (seconds > 0 && rate > 0) blocks = static_cast<long long>(std::llround(seconds * rate));

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    QString linkPath;
    std::unique_ptr<ByteOutput> out;
    if (sink == Sink::Pty) {
        auto pty = ByteOutput::openPty();
        if (!pty) {
            std::fprintf(stderr, "mervo-sim: cannot open a pseudo-terminal: %s\n", pty.reason().toLocal8Bit().constData());
            return 1;
        }
        out = std::move(*pty);
        if (com > 0) {
            const QString home = dir.isEmpty() ? programDirectory() : dir;
            linkPath = QDir(home).filePath(QStringLiteral("COM%1").arg(com));
            const QFileInfo fi(linkPath);
            if (fi.exists() && !fi.isSymLink()) {
                std::fprintf(stderr, "mervo-sim: %s exists and is not a link; not replacing it\n",
                             linkPath.toLocal8Bit().constData());
                return 1;
            }
            QFile::remove(linkPath);
            if (!QFile::link(out->slavePath(), linkPath)) {
                std::fprintf(stderr, "mervo-sim: cannot link %s\n", linkPath.toLocal8Bit().constData());
                return 1;
            }
        }
        std::printf("%s\n", out->slavePath().toLocal8Bit().constData());
        std::fflush(stdout);
    } else if (sink == Sink::File) {
        auto file = ByteOutput::openFile(outFile);
        if (!file) {
            std::fprintf(stderr, "mervo-sim: %s\n", file.message().toLocal8Bit().constData());
            return 1;
        }
        out = std::move(*file);
    } else {
        out = ByteOutput::standardOutput();
    }
    std::unique_ptr<ByteOutput> tee;
    if (!teeFile.isEmpty()) {
        auto file = ByteOutput::openFile(teeFile);
        if (!file) {
            std::fprintf(stderr, "mervo-sim: %s\n", file.message().toLocal8Bit().constData());
            return 1;
        }
        tee = std::move(*file);
    }
    auto cleanup = [&] {
        if (!linkPath.isEmpty()) QFile::remove(linkPath);
    };

    // A receiver throws away what was waiting when it opened the port, so start only once it listens.
    if (sink == Sink::Pty && waitReader) {
        while (!stopRequested && out->slaveClosed()) sleepSeconds(0.01);
        for (double waited = 0; !stopRequested && waited < startDelayMs / 1000.0; waited += 0.01) sleepSeconds(0.01);
    }

    InstrumentSimulator sim(opt);
    const auto t0 = std::chrono::steady_clock::now();
    const double simRate = rate > 0 ? rate : 32.0;  // the profile's clock when sending as fast as possible
    int rc = 0;
    for (long long k = 0; !stopRequested && (blocks == 0 || k < blocks); ++k) {
        if (rate > 0) {
            const auto due = t0 + std::chrono::duration<double>(k / rate);
            std::this_thread::sleep_until(due);
        }
        const auto block = encodeBlock(sim.valuesAt(k / simRate));
        static const uint8_t fill[3] = {0, 0, 0};
        // On a line at its rate, what nobody reads is lost, as on a serial line; a file or a pipe gets it all.
        const bool lineAtItsRate = sink == Sink::Pty && rate > 0;
        const auto send = [&](const void* data, size_t n) {
            return lineAtItsRate ? out->writeOrDrop(data, n) : out->write(data, n, &stopRequested);
        };
        if (!send(block.data(), block.size()) || (filler && !send(fill, 3))) {
            if (stopRequested) break;
            rc = 1;
            break;
        }
        if (tee) {
            tee->write(block.data(), block.size());
            if (filler) tee->write(fill, 3);
        }
    }
    // Give a receiver time to read the last blocks before the line hangs up.
    if (sink == Sink::Pty)
        for (double waited = 0; !stopRequested && waited < linger; waited += 0.05) sleepSeconds(0.05);
    cleanup();
    return rc;
}
