// The writers besides the receive, killed outright (kill -9) at a random moment: export -o, report, table,
// nameplate, recover and the window's Save. Whatever the moment, the measurement is as it was (or, for the two
// that rewrite it, wholly the new version), every name the operator sees holds either what it held or the whole
// new output, and the next start sweeps the hidden temporaries the killed writer left. One kill per writer in a
// normal run; MERVO_WRITER_KILLS=N kills each writer N times (the long tier). And a recover stopped by SIGINT or
// SIGTERM removes its partial copy and ends with the signal's status.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

#include "end_to_end/process.h"
#include "measurement/file_layout.h"

using namespace mervo;
using namespace mervo::test;

namespace {

using Clock = std::chrono::steady_clock;

// A measurement of `samples` varied samples, complete or cut inside its last sample (as a killed receive leaves
// it), with a fixed modification time so that the outputs dated by it are the same each time.
void writeMeasurement(const std::string& path, int samples, bool complete) {
    std::vector<float> r = {3600, static_cast<float>(samples) / 32, 4, 7.5f, 15.4f, 87, 6.2f, 0.35f, 380, 1, 1, 1};
    for (int k = 0; k < samples; ++k) {
        const float f = static_cast<float>(k % 997);
        r.insert(r.end(), {10 + f / 100, 230 + f / 500, 1.8f + f / 1000, 9.5f, 231, 1.5f, 11 - f / 200, 229, 1.7f});
    }
    if (complete) r.resize(r.size() + kTrailerRecords, 1.0f);
    std::string bytes(r.size() * 4, '\0');
    encodeRecords(r.data(), r.size(), reinterpret_cast<unsigned char*>(bytes.data()));
    if (!complete) bytes += std::string(13, '\x41');
    std::ofstream(path, std::ios::binary) << bytes;
    const struct timespec t[2] = {{1700000000, 0}, {1700000000, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), t, 0);
}

struct Writer {
    const char* name;
    int samples;        // of the measurement it works on
    bool complete;
    const char* output; // the file it writes beside the measurement M.MTQ; empty: it rewrites M.MTQ
    bool window;        // the window's Save rather than a mervo-tool command
    std::vector<std::string> args;  // mervo-tool's, with M and OUT for the paths
};

const std::vector<Writer>& writers() {
    static const std::vector<Writer> w = {
        {"export -o", 20000, true, "OUT.csv", false, {"export", "M", "-o", "OUT"}},
        {"report", 20000, true, "OUT.pdf", false, {"report", "M", "-o", "OUT"}},
        {"table", 20000, true, "OUT.pdf", false, {"table", "M", "-o", "OUT", "--to", "600"}},
        {"nameplate", 400000, true, "", false, {"nameplate", "M", "--nameplate", "2,11,22.6,88,7.7,0.45,380"}},
        {"recover", 400000, false, "", false, {"recover", "M"}},
        {"the window's save (另存为)", 400000, true, "SAVED.MTQ", true, {}},
    };
    return w;
}

std::vector<std::string> argsIn(const Writer& w, const std::string& d) {
    std::vector<std::string> a = w.args;
    for (std::string& s : a) {
        if (s == "M") s = d + "/M.MTQ";
        if (s == "OUT") s = d + "/" + w.output;
    }
    return a;
}

Child start(const Writer& w, const std::string& d) {
    setenv("MERVO_HOME", d.c_str(), 1);
    if (w.window)
        return spawn("mervo-gui-save-driver", {"save", d + "/M.MTQ", d + "/" + w.output}, d + "/w.out", d + "/w.err");
    return spawn("mervo-tool", argsIn(w, d), d + "/w.out", d + "/w.err");
}

// The names in `d`: those the operator sees, and the hidden ones (temporaries).
QStringList names(const std::string& d, bool hidden) {
    QStringList out;
    for (const QString& n : QDir(QString::fromStdString(d)).entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (n.startsWith('.') == hidden && n != "w.out" && n != "w.err" && n != "s.out" && n != "s.err") out << n;
    return out;
}

// A directory with the measurement and an older version of the output, as the operator would have it.
void prepare(const Writer& w, const std::string& d) {
    writeMeasurement(d + "/M.MTQ", w.samples, w.complete);
    if (*w.output) std::ofstream(d + "/" + w.output) << "an older version";
}

int repeats() {
    const char* v = std::getenv("MERVO_WRITER_KILLS");
    const int n = v ? std::atoi(v) : 0;
    return n > 0 ? n : 1;
}

}  // namespace

TEST(WriterKills, aKilledWriterLeavesTheOriginalOrTheWholeNewFileAndTheNextStartSweeps) {
    const int n = repeats();
    std::random_device rd;
    const unsigned seed = rd();
    std::mt19937 rng(seed);
    std::printf("writer kills: %d per writer (seed %u)\n", n, seed);
    const auto begun = Clock::now();
    for (const Writer& w : writers()) {
        SCOPED_TRACE(testing::Message() << w.name << ", seed " << seed);
        // The whole run once, for the bytes it leaves and how long it takes.
        QTemporaryDir ref;
        const std::string r = ref.path().toStdString();
        prepare(w, r);
        const std::string before = readFile(r + "/M.MTQ");
        const std::string oldOutput = *w.output ? readFile(r + "/" + w.output) : std::string();
        auto t0 = Clock::now();
        Child whole = start(w, r);
        // The window's save is timed, and later killed, from the moment it begins, after the window's start.
        if (w.window) {
            ASSERT_EQ(waitFirstLine(r + "/w.out", 60), "saving") << readFile(r + "/w.err");
            t0 = Clock::now();
        }
        ASSERT_EQ(waitExit(whole, 120), 0) << readFile(r + "/w.err");
        const double runMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        const std::string newMeasurement = readFile(r + "/M.MTQ");
        const std::string newOutput = *w.output ? readFile(r + "/" + w.output) : std::string();
        ASSERT_NE(*w.output ? newOutput : newMeasurement, *w.output ? oldOutput : before) << "the writer wrote nothing";
        const QStringList visible = names(r, false);

        std::uniform_real_distribution<double> killAtMs(0, runMs * 1.2);
        int midWrite = 0, swept = 0, finished = 0;
        for (int rep = 0; rep < n; ++rep) {
            SCOPED_TRACE(testing::Message() << "kill " << rep + 1);
            QTemporaryDir dir;
            const std::string d = dir.path().toStdString();
            prepare(w, d);
            const double ms = killAtMs(rng);
            Child c = start(w, d);
            if (w.window) {
                EXPECT_EQ(waitFirstLine(d + "/w.out", 60), "saving") << readFile(d + "/w.err");
            }
            std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
            ::kill(c.pid, SIGKILL);
            const int status = waitExit(c, 30);
            finished += status == 0 ? 1 : 0;
            ASSERT_TRUE(status == 128 + SIGKILL || status == 0) << status << readFile(d + "/w.err");

            // The measurement: as it was, or (nameplate, recover) wholly the new version.
            const std::string m = readFile(d + "/M.MTQ");
            EXPECT_TRUE(m == before || (!*w.output && m == newMeasurement)) << "the measurement is damaged";
            // The output's name: the older version or the whole new one.
            if (*w.output) {
                const std::string o = readFile(d + "/" + w.output);
                // A PDF is whole when it ends with its trailer (its bytes differ from run to run).
                const bool wholePdf = QString(w.output).endsWith(".pdf") && o.rfind("%PDF-", 0) == 0 &&
                                      o.size() > 6 && o.compare(o.size() - 6, 6, "%%EOF\n") == 0;
                EXPECT_TRUE(o == oldOutput || o == newOutput || wholePdf)
                    << "a partial " << w.output << " of " << o.size() << " bytes";
            }
            // No other name (but the lock of the program's own settings, which the next one to take it finds
            // stale); what is hidden goes at the next start.
            for (const QString& name : names(d, false))
                EXPECT_TRUE(visible.contains(name) || name == "mervo.ini.lock") << name.toStdString();
            const int left = static_cast<int>(names(d, true).size());
            midWrite += left > 0 ? 1 : 0;
            setenv("MERVO_HOME", d.c_str(), 1);
            const ProcessResult next = w.window ? run("mervo-gui-save-driver", {"start"}, d)
                                                : run("mervo-tool", {"info", d + "/M.MTQ"}, d);
            EXPECT_EQ(next.status, 0) << next.err;
            EXPECT_EQ(names(d, true).join(QLatin1Char(' ')).toStdString(), "") << "left after the next start";
            swept += left;
        }
        std::printf("%s: a whole run %.0f ms; %d kills, %d during the write (temporaries left, then swept: %d), %d after it "
                    "had finished\n",
                    w.name, runMs, n, midWrite, swept, finished);
        std::fflush(stdout);
    }
    std::printf("writer kills: %.1f s in all\n", std::chrono::duration<double>(Clock::now() - begun).count());
}

// A recover stopped by a signal part way through its copy: the copy goes, the original stays, and the status is
// the signal's (128 + its number). The copy of a million samples takes long enough that the signal, sent as
// soon as the copy appears, lands inside it; a recovery that finished first is retried on a file twice as long.
TEST(WriterKills, aRecoverStoppedBySigintOrSigtermRemovesItsCopy) {
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig == SIGINT ? "SIGINT" : "SIGTERM");
        bool interrupted = false;
        for (int samples = 1000000; !interrupted && samples <= 8000000; samples *= 2) {
            QTemporaryDir dir;
            const std::string d = dir.path().toStdString();
            writeMeasurement(d + "/M.MTQ", samples, false);
            const std::string before = readFile(d + "/M.MTQ");
            setenv("MERVO_HOME", d.c_str(), 1);
            Child c = spawn("mervo-tool", {"recover", d + "/M.MTQ"}, d + "/s.out", d + "/s.err");
            // The real event: the partial copy has its first bytes.
            for (int waited = 0; waited < 30000; ++waited) {
                const QStringList hidden = names(d, true);
                if (!hidden.isEmpty() && QFileInfo(QString::fromStdString(d) + "/" + hidden[0]).size() > 0) break;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            ::kill(c.pid, sig);
            const int status = waitExit(c, 60);
            if (status == 0) continue;  // finished before the signal came
            interrupted = true;
            EXPECT_EQ(status, 128 + sig) << readFile(d + "/s.err");
            EXPECT_NE(readFile(d + "/s.err").find("已中止"), std::string::npos) << readFile(d + "/s.err");
            EXPECT_TRUE(readFile(d + "/M.MTQ") == before) << "the original was changed";
            EXPECT_EQ(names(d, true).join(QLatin1Char(' ')).toStdString(), "") << "the partial copy is left";
        }
        EXPECT_TRUE(interrupted) << "every recovery finished before the signal";
    }
}
