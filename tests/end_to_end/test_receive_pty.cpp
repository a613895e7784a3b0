// The simulator streams into a pseudo-terminal and mervo-tool records from it, as an operator would.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <thread>

#include "measurement/reader.h"
#include "measurement/writer.h"
#include "end_to_end/expected_samples.h"
#include "end_to_end/process.h"
#include "support/status_matchers.h"

using namespace mervo;
using namespace mervo::test;

namespace {

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string samplesOf(const std::string& file, int64_t n) {
    return file.substr(kHeaderRecords * kRecordBytes, static_cast<size_t>(n) * kSampleRecords * kRecordBytes);
}

class ReceivePty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        d = dir.path().toStdString();
        setenv("MERVO_HOME", d.c_str(), 1);
    }
    void TearDown() override {
        if (sim.pid > 0) {
            ::kill(sim.pid, SIGTERM);
            waitExit(sim, 5);
        }
    }
    // Starts the simulator on a pseudo-terminal and returns the device path it prints.
    std::string startSim(std::vector<std::string> args) {
        args.insert(args.end(), {"--tee", d + "/sent.bin"});
        std::remove((d + "/sim.out").c_str());  // a path left by an earlier simulator must not be read
        sim = spawn("mervo-sim", args, d + "/sim.out", d + "/sim.err");
        const std::string pty = waitFirstLine(d + "/sim.out", 10);
        EXPECT_FALSE(pty.empty()) << readFile(d + "/sim.err");
        return pty;
    }
    MeasurementInfo infoOf(const std::string& path) {
        MeasurementReader r;
        EXPECT_TRUE(test::succeeded(r.open(QString::fromStdString(path))));
        return r.info();
    }

    QTemporaryDir dir;
    std::string d;
    Child sim;
};

TEST_F(ReceivePty, storesEveryBlockByteForByteScaledByTheRatios) {
    const std::string pty = startSim({"--rate", "0", "--blocks", "3000", "--seed", "7"});
    const ProcessResult r = run("mervo-tool",
                         {"receive", "--port", pty, "-o", d + "/out.MTQ", "--blocks", "3000", "--ct", "2.5", "--pt",
                          "10", "--channels", "101", "--nameplate", "4,11,21.5,89.5,7.2,0.45,380"},
                         d);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"samples\":3000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"end\":\"blocks\""), std::string::npos) << r.out;

    const MeasurementInfo info = infoOf(d + "/out.MTQ");
    ASSERT_TRUE(info.complete);
    ASSERT_EQ(info.wholeSamples, 3000);
    EXPECT_EQ(info.header.wiringCode(), 5);
    EXPECT_TRUE(info.header.motorDataValid());
    EXPECT_FLOAT_EQ(info.header.nameplate[6], 380.0f);
    const std::string file = readFile(d + "/out.MTQ");
    EXPECT_TRUE(samplesOf(file, 3000) == expectedSamples(readFile(d + "/sent.bin"), 30, 2.5f, 10.0f, 3000))
        << "stored samples differ from the scaled blocks that were sent";
}

TEST_F(ReceivePty, manualReceiveKeepsBackToBackAndFillerSeparatedBlocksAlike) {
    for (const bool filler : {false, true}) {
        std::vector<std::string> args{"--rate", "0", "--blocks", "400", "--seed", "3"};
        if (filler) args.push_back("--filler");
        const std::string pty = startSim(args);
        const std::string out = d + (filler ? "/filler.MTQ" : "/plain.MTQ");
        const ProcessResult r = run("mervo-tool", {"receive", "--port", pty, "-o", out, "--blocks", "400"}, d);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string file = readFile(out);
        EXPECT_TRUE(samplesOf(file, 400) == expectedSamples(readFile(d + "/sent.bin"), filler ? 33 : 30, 1, 1, 400))
            << (filler ? "with filler bytes" : "back to back");
        EXPECT_EQ(infoOf(out).wholeSamples, 400);
        ::kill(sim.pid, SIGTERM);
        waitExit(sim, 5);
    }
}

TEST_F(ReceivePty, interruptKeepsEveryArrivedBlockAndWritesTheTrailer) {
    // 120 blocks arrive within a second; the simulator then keeps the line open and quiet.
    const std::string pty = startSim({"--rate", "200", "--blocks", "120", "--linger", "30"});
    Child tool = spawn("mervo-tool", {"receive", "--port", pty, "-o", d + "/i.MTQ"}, d + "/t.out", d + "/t.err");
    sleepMs(2500);
    ::kill(tool.pid, SIGINT);
    ASSERT_EQ(waitExit(tool, 10), 0) << readFile(d + "/t.err");
    EXPECT_NE(readFile(d + "/t.out").find("\"end\":\"stopped\""), std::string::npos);
    const MeasurementInfo info = infoOf(d + "/i.MTQ");
    ASSERT_TRUE(info.complete);
    ASSERT_EQ(info.wholeSamples, 120);
    EXPECT_TRUE(samplesOf(readFile(d + "/i.MTQ"), 120) == expectedSamples(readFile(d + "/sent.bin"), 30, 1, 1, 120));
    // A manual receive stores the elapsed time of its last block, which came well before the interrupt.
    EXPECT_GT(info.header.TotalTime, 0.3f);
    EXPECT_LT(info.header.TotalTime, 2.4f);
    ASSERT_TRUE(info.maxima.has_value());
    EXPECT_GT((*info.maxima)[0], 0.0f);
}

TEST_F(ReceivePty, killedReceiverLeavesHeaderAndSamplesIntact) {
    const std::string pty = startSim({"--rate", "100"});
    Child tool = spawn("mervo-tool", {"receive", "--port", pty, "-o", d + "/k.MTQ", "--channels", "011"},
                       d + "/t.out", d + "/t.err");
    sleepMs(2500);
    ::kill(tool.pid, SIGKILL);
    waitExit(tool, 10);
    ::kill(sim.pid, SIGTERM);
    waitExit(sim, 5);
    const std::string file = readFile(d + "/k.MTQ");
    MeasurementReader reader;
    ASSERT_TRUE(test::succeeded(reader.open(QString::fromStdString(d + "/k.MTQ"))));
    const MeasurementInfo& info = reader.info();
    EXPECT_FALSE(info.complete);
    EXPECT_EQ((file.size() - 48) % 36, 0u) << "a sample was torn";
    EXPECT_EQ(info.header.wiringCode(), 3);
    EXPECT_GT(info.wholeSamples, 50);
    EXPECT_TRUE(samplesOf(file, info.wholeSamples) ==
                expectedSamples(readFile(d + "/sent.bin"), 30, 1, 1, static_cast<size_t>(info.wholeSamples)));
}

// One writer at a time: recovery of a file a receive is still recording is refused, and the receive goes on.
TEST_F(ReceivePty, recoveryRefusesAFileARecordingHolds) {
    const std::string pty = startSim({"--rate", "200", "--blocks", "300", "--linger", "30"});
    const std::string file = d + "/busy.MTQ";
    Child tool = spawn("mervo-tool", {"receive", "--port", pty, "-o", file}, d + "/t.out", d + "/t.err");
    // Wait for a real event: the first samples written.
    for (int waited = 0; readFile(file).size() < 48 + 36 * 10 && waited < 1000; ++waited) sleepMs(10);
    ASSERT_GE(readFile(file).size(), 48u + 36 * 10) << readFile(d + "/t.err");
    const ProcessResult r = run("mervo-tool", {"recover", file}, d);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("正在记录中"), std::string::npos) << r.err;
    for (int waited = 0; readFile(file).size() < 48 + 36 * 300 && waited < 1000; ++waited) sleepMs(10);
    ::kill(tool.pid, SIGINT);
    ASSERT_EQ(waitExit(tool, 10), 0) << readFile(d + "/t.err");
    const MeasurementInfo info = infoOf(file);
    EXPECT_TRUE(info.complete);
    EXPECT_EQ(info.wholeSamples, 300) << "the receive kept every block";
}

// Blocks the instrument sent before the receive began wait in the line; they belong to no measurement.
TEST_F(ReceivePty, blocksSentBeforeTheReceiveBeganAreNotRecorded) {
    const std::string pty = startSim({"--no-wait", "--rate", "0", "--blocks", "50", "--linger", "30"});
    // The real event: all fifty have left the simulator.
    for (int waited = 0; readFile(d + "/sent.bin").size() < 50 * 30 && waited < 1000; ++waited) sleepMs(10);
    ASSERT_EQ(readFile(d + "/sent.bin").size(), 50u * 30);
    const ProcessResult r = run("mervo-tool", {"receive", "--port", pty, "-o", d + "/late.MTQ", "--seconds", "0.5"}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(infoOf(d + "/late.MTQ").wholeSamples, 0) << r.out;
}

// A line drops what nobody reads: a simulator left without a receiver keeps its rate, and the next receive
// gets the blocks of its own time, not a backlog sent at once.
TEST_F(ReceivePty, theSimulatorSendsNoBacklogAfterATimeWithoutAReceiver) {
    const std::string pty = startSim({"--rate", "20000"});
    ASSERT_EQ(run("mervo-tool", {"receive", "--port", pty, "-o", d + "/first.MTQ", "--seconds", "0.3"}, d).status, 0);
    sleepMs(2000);  // nobody reads: 40,000 blocks, 1.2 MB, far more than a pseudo-terminal holds
    const ProcessResult r = run("mervo-tool", {"receive", "--port", pty, "-o", d + "/second.MTQ", "--seconds", "1"}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    const int64_t n = infoOf(d + "/second.MTQ").wholeSamples;
    EXPECT_GT(n, 8000);
    EXPECT_LT(n, 25000) << "a backlog arrived at once";
}

// The settings the receive takes its defaults from: a file with unusable lines is reported, as the window does.
TEST_F(ReceivePty, aSettingsFileWithUnusableLinesIsReported) {
    {
        QFile f(QString::fromStdString(d + "/mervo.dft"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(" 1\r\n 0\r\n ten\r\n 1\r\n 1\r\n 5\r\n 1\r\n 1\r\n 1\r\n");
    }
    const std::string pty = startSim({"--rate", "0", "--blocks", "5"});
    const ProcessResult r = run("mervo-tool", {"receive", "--port", pty, "-o", d + "/x.MTQ", "--blocks", "5", "--dir", d}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("1 项无法识别"), std::string::npos) << r.err;
}

// Signals that used to end a receive without a word: a closed terminal stops it as the stop button does, and a
// file-size limit is a write failure that is reported, with the samples written kept.
TEST_F(ReceivePty, aClosedTerminalOrAFileSizeLimitEndsTheReceiveWithItsFileFinishedOrRecoverable) {
    const std::string pty = startSim({"--rate", "200", "--blocks", "100", "--linger", "30"});
    const std::string hung = d + "/hup.MTQ";
    Child tool = spawn("mervo-tool", {"receive", "--port", pty, "-o", hung}, d + "/h.out", d + "/h.err");
    for (int waited = 0; readFile(hung).size() < 48 + 36 * 100 && waited < 1000; ++waited) sleepMs(10);
    ::kill(tool.pid, SIGHUP);
    EXPECT_EQ(waitExit(tool, 10), 0) << readFile(d + "/h.err");
    EXPECT_NE(readFile(d + "/h.out").find("\"end\":\"stopped\""), std::string::npos);
    EXPECT_TRUE(infoOf(hung).complete);
    ::kill(sim.pid, SIGTERM);
    waitExit(sim, 5);

    const std::string pty2 = startSim({"--rate", "200", "--blocks", "100", "--linger", "30"});
    const std::string limited = d + "/fsize.MTQ";
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit lim = old;
    lim.rlim_cur = 48 + 36 * 20 + 10;  // the receive inherits it; this process writes no file meanwhile
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
    Child limitedTool = spawn("mervo-tool", {"receive", "--port", pty2, "-o", limited, "--blocks", "100"},
                              d + "/f.out", d + "/f.err");
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(waitExit(limitedTool, 20), 1) << "not killed by SIGXFSZ: " << readFile(d + "/f.err");
    EXPECT_NE(readFile(d + "/f.err").find("writing the file failed"), std::string::npos) << readFile(d + "/f.err");
    EXPECT_EQ(readFile(limited).size(), 48u + 36 * 20) << "cut back to the last whole sample";
    const ProcessResult r = run("mervo-tool", {"recover", limited}, d);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(infoOf(limited).wholeSamples, 20);
}

TEST_F(ReceivePty, timedReceiveEndsAtItsSetTime) {
    const std::string pty = startSim({"--rate", "32"});
    const ProcessResult r = run("mervo-tool", {"receive", "--port", pty, "-o", d + "/t.MTQ", "--seconds", "1.5"}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"end\":\"time_reached\""), std::string::npos) << r.out;
    const MeasurementInfo info = infoOf(d + "/t.MTQ");
    ASSERT_TRUE(info.complete);
    EXPECT_FLOAT_EQ(info.header.TotalTime, 1.5f);
    EXPECT_GT(info.wholeSamples, 20);
    EXPECT_LT(info.wholeSamples, 60);
}

TEST_F(ReceivePty, timedReceiveEndsEvenWhenTheInstrumentIsSilent) {
    // The simulator never starts sending: it waits for a reader that has not opened the port yet.
    const std::string pty = startSim({"--rate", "32", "--start-delay", "60000"});
    const ProcessResult r = run("mervo-tool", {"receive", "--port", pty, "-o", d + "/s.MTQ", "--seconds", "0.5"}, d, 15);
    ASSERT_EQ(r.status, 0) << r.err;
    const MeasurementInfo info = infoOf(d + "/s.MTQ");
    EXPECT_TRUE(info.complete);
    EXPECT_EQ(info.bytes, 144);
}

// A lost port keeps every block and ends with the status a script can tell from a normal end: 3.
TEST_F(ReceivePty, lostPortKeepsEveryBlockAndSaysTheInstrumentWasDisconnected) {
    const std::string pty = startSim({"--rate", "0", "--blocks", "90", "--linger", "0.5"});
    const ProcessResult r = run("mervo-tool", {"receive", "--port", pty, "-o", d + "/p.MTQ"}, d, 20);
    ASSERT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.out.find("\"end\":\"port_lost\""), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("the instrument was disconnected"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("ioctl"), std::string::npos) << r.err;
    const MeasurementInfo info = infoOf(d + "/p.MTQ");
    ASSERT_TRUE(info.complete);
    EXPECT_EQ(info.wholeSamples, 90);
}

// With --reconnect the receive outlives its instrument: the simulator on COM1 sends 40 blocks and goes away, the
// receive says it waits, a new simulator comes up on COM1 and sends 30 more. One measurement holds all 70, byte for
// byte, and the gap after sample 40.
TEST_F(ReceivePty, reconnectWaitsForTheDeviceOnTheSamePortAndGoesOnInTheSameMeasurement) {
    const auto instrument = [&](const char* seed, const char* blocks, const std::string& tee) {
        std::remove((d + "/sim.out").c_str());
        Child c = spawn("mervo-sim", {"--com", "1", "--dir", d, "--rate", "0", "--blocks", blocks, "--seed", seed,
                                      "--linger", "0.5", "--tee", tee},
                        d + "/sim.out", d + "/sim.err");
        EXPECT_FALSE(waitFirstLine(d + "/sim.out", 10).empty()) << readFile(d + "/sim.err");
        return c;
    };
    Child first = instrument("5", "40", d + "/sent1.bin");
    const std::string out = d + "/long.MTQ";
    // The program directory named relative to the working directory, as in the README's example ("--dir build").
    const QString here = QDir::currentPath();
    const QFileInfo home(QString::fromStdString(d));
    ASSERT_TRUE(QDir::setCurrent(home.absolutePath()));
    Child tool = spawn("mervo-tool",
                       {"receive", "--port", "COM1", "--dir", home.fileName().toStdString(), "-o", out, "--blocks", "70",
                        "--reconnect"},
                       d + "/t.out", d + "/t.err");
    QDir::setCurrent(here);
    EXPECT_EQ(waitExit(first, 20), 0);
    // The real event: the receive has noticed and waits.
    for (int waited = 0; readFile(d + "/t.err").find("waiting for") == std::string::npos && waited < 1000; ++waited)
        sleepMs(10);
    ASSERT_NE(readFile(d + "/t.err").find("waiting for"), std::string::npos) << readFile(d + "/t.err");
    sim = instrument("6", "30", d + "/sent2.bin");
    ASSERT_EQ(waitExit(tool, 20), 0) << readFile(d + "/t.err");
    const std::string summary = readFile(d + "/t.out");
    EXPECT_NE(summary.find("\"samples\":70"), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"gaps\":1"), std::string::npos) << summary;
    const MeasurementInfo info = infoOf(out);
    ASSERT_TRUE(info.complete);
    ASSERT_EQ(info.wholeSamples, 70);
    EXPECT_TRUE(samplesOf(readFile(out), 70) ==
                expectedSamples(readFile(d + "/sent1.bin") + readFile(d + "/sent2.bin"), 30, 1, 1, 70))
        << "every block sent while connected, in order";
    const ProcessResult r = run("mervo-tool", {"info", out}, d);
    EXPECT_NE(r.out.find("\"gaps\":[{\"after_sample\":40,\"seconds\":"), std::string::npos) << r.out;
}

// Bad requests end with one clear line and a failure status, never a crash or a half-made file.
TEST_F(ReceivePty, badRequestsFailWithOneLine) {
    const std::string pty = startSim({"--rate", "32"});
    const QByteArray earlier("an earlier measurement");
    {
        QFile f(QString::fromStdString(d + "/earlier.MTQ"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(earlier);
    }
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"receive", "--port", d + "/nope", "-o", d + "/x.MTQ"}, 1, "no such device"},
        {{"receive", "--port", pty, "-o", d + "/missing/dir/x.MTQ"}, 1, "x.MTQ"},
        {{"receive", "--port", pty}, 2, "-o FILE is required"},
        {{"receive", "-o", d + "/x.MTQ"}, 2, "--port DEV is required"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--seconds", "abc"}, 2, "--seconds"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--blocks", "0"}, 2, "--blocks"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--ct", "-1"}, 2, "--ct"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--ct", "1e-50"}, 2, "--ct"},  // 0 as a float
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--pt", "1e-46"}, 2, "--pt"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--channels", "000"}, 2, "at least one"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--channels", "12"}, 2, "--channels"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--nameplate", "1,2,3"}, 2, "seven numbers"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--frobnicate"}, 2, "unknown option"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--seconds"}, 2, "needs a value"},
        {{"receive", "--port", pty, "-o", d + "/earlier.MTQ", "--blocks", "5"}, 1, "already exists"},
        {{"receive", "--port", pty, "-o", d + "/earlier.MTQ", "--ct", "nan"}, 2, "--ct"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--seconds", "1e30"}, 2, "--seconds"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--nameplate", "1,2,3,4,5,6,nan"}, 2, "nan"},
        {{"receive", "--port", "/dev/null", "-o", d + "/x.MTQ"}, 1, "/dev/null"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--seconds", "nan"}, 2, "--seconds"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--seconds", "inf"}, 2, "--seconds"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--blocks", "-5"}, 2, "--blocks"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--blocks", "1e20"}, 2, "--blocks"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--ct", "1e39"}, 2, "--ct"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--ct", "3e38", "--pt", "3e38"}, 2, "--ct"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--pt", "inf"}, 2, "--pt"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--nameplate", "a,b,c,d,e,f,g"}, 2, "\"a\""},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--motor", "abc"}, 2, "--motor"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--motor", "6936"}, 2, "--motor"},
        {{"receive", "--port", pty, "-o", d + "/x.MTQ", "--motor", "5", "--nameplate", "1,2,3,4,5,6,7"}, 2,
         "exclude each other"},
        {{"info", d + "/absent.MTQ"}, 1, "absent.MTQ"},
        {{"info"}, 2, "usage"},
        {{"launch"}, 2, "unknown command"},
        {{"recover"}, 2, "which file"},
        {{"recover", d + "/a.MTQ", d + "/b.MTQ"}, 2, "one file at a time"},
        {{"motor", "abc", "--dir", MERVO_DATA_DIR}, 1, "not a catalogue code"},
        {{"motor", "1e3", "--dir", MERVO_DATA_DIR}, 1, "not a catalogue code"},
        {{"motor", "0x10", "--dir", MERVO_DATA_DIR}, 1, "not a catalogue code"},
        {{"motor", "5", "6"}, 2, "one code at a time"},
        {{"motor", "5", "--dir", d + "/nowhere"}, 1, "MTALL.OBJ"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = run("mervo-tool", c.args, d, 10);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << (c.args.size() > 2 ? c.args.back() : "");
        EXPECT_EQ(r.err.rfind("mervo-tool: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(d + "/x.MTQ")));
    EXPECT_EQ(readFile(d + "/earlier.MTQ"), earlier.toStdString()) << "an existing file is never recorded over";
}

TEST_F(ReceivePty, catalogueMotorsFromTheCommandLine) {
    const std::string data = MERVO_DATA_DIR;
    ProcessResult r = run("mervo-tool", {"motor", "1", "--dir", data}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part : {"{\"code\":1,\"nameplate\":[", ",380],\"valid\":true,\"rated_loss\":"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << " in " << r.out;
    r = run("mervo-tool", {"motor", "6935", "--dir", data}, d);
    EXPECT_NE(r.out.find(",100],"), std::string::npos) << r.out;
    for (const char* bad : {"6936", "0", "abc"}) {
        r = run("mervo-tool", {"motor", bad, "--dir", data}, d);
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_NE(r.err.find("not a catalogue code"), std::string::npos) << r.err;
    }
    r = run("mervo-tool", {"motor", "5", "--dir", d + "/nowhere"}, d);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("MTALL.OBJ"), std::string::npos) << r.err;

    const std::string pty = startSim({"--rate", "0", "--blocks", "20"});
    r = run("mervo-tool", {"receive", "--port", pty, "-o", d + "/hv.MTQ", "--blocks", "20", "--motor", "4875", "--dir", data}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    const MeasurementInfo info = infoOf(d + "/hv.MTQ");
    EXPECT_EQ(info.header.nameplate[6], 3000.0f) << "code 4875 is the first 3 kV motor";
    EXPECT_TRUE(info.header.motorDataValid());
    r = run("mervo-tool", {"receive", "--port", pty, "-o", d + "/x.MTQ", "--motor", "1", "--nameplate", "1,2,3,4,5,6,7"}, d);
    EXPECT_EQ(r.status, 2);
}

TEST_F(ReceivePty, infoDescribesCompleteAndInterruptedFiles) {
    // A complete file of two samples, then the same file with its trailer cut off and half a sample more.
    WorkingFileWriter w;
    FileHeader h;
    h.StartTime = 3600.5f;
    h.TotalTime = 2;
    h.nameplate = {4, 11, 21.5f, 89.5f, 7.2f, 0.45f, 380};
    h.channels = {1, 0, 1};
    ASSERT_TRUE(w.create(QString::fromStdString(d + "/a.MTQ"), h));
    const float s[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_TRUE(test::succeeded(w.appendSample(s)));
    EXPECT_TRUE(test::succeeded(w.appendSample(s)));
    std::array<float, 12> mx{}, mn{};
    mx.fill(2.5f);
    mn.fill(-0.5f);
    EXPECT_TRUE(test::succeeded(w.appendTrailer(mx, mn)));
    EXPECT_TRUE(test::succeeded(w.close()));
    ProcessResult r = run("mervo-tool", {"info", d + "/a.MTQ"}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part : {"\"bytes\":216", "\"samples\":2", "\"complete\":true", "\"start_time\":3600.5",
                             "\"total_time\":2", "\"nameplate\":[4,11,21.5,89.5,7.2,0.45,380]",
                             "\"motor_data_valid\":true", "\"channels\":[1,0,1]", "\"wiring_code\":5",
                             "\"maxima\":[2.5,2.5,", "\"minima\":[-0.5,"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << " in " << r.out;

    ASSERT_EQ(::truncate((d + "/a.MTQ").c_str(), 48 + 36 + 20), 0);
    r = run("mervo-tool", {"info", d + "/a.MTQ"}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part : {"\"samples\":1", "\"complete\":false", "\"maxima\":null", "\"minima\":null"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << " in " << r.out;

    ASSERT_EQ(::truncate((d + "/a.MTQ").c_str(), 20), 0);
    r = run("mervo-tool", {"info", d + "/a.MTQ"}, d);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("不足以容纳文件头"), std::string::npos) << r.err;
}

}  // namespace
