// A receive killed outright (kill -9) at a random moment, then `mervo-tool recover`: everything the receiver had
// taken in survives, byte for byte, and at most the last second of blocks is missing. The number of
// repetitions comes from MERVO_KILL_REPEATS (3 by default; the long tier runs 20 or more).
#include <gtest/gtest.h>
#include <signal.h>

#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "acquisition/record_math.h"
#include "acquisition/working_file.h"
#include "end_to_end/process.h"

using namespace mervo;
using namespace mervo::test;

namespace {

constexpr int kRate = 200;  // blocks per second

int repeats() {
    const char* v = std::getenv("MERVO_KILL_REPEATS");
    const int n = v ? std::atoi(v) : 0;
    return n > 0 ? n : 3;
}

// The samples a receiver stores for the first `count` blocks sent back to back: decoded, little-endian.
std::string expectedSamples(const std::string& sent, size_t count) {
    std::string out;
    for (size_t k = 0; k < count && (k + 1) * 30 <= sent.size(); ++k) {
        std::array<float, 12> v{};
        const auto* b = reinterpret_cast<const uint8_t*>(sent.data() + k * 30 + 3);
        for (int i = 0; i < 9; ++i) v[i] = DecodeTriple(b[3 * i], b[3 * i + 1], b[3 * i + 2]);
        unsigned char bytes[36];
        encodeRecords(v.data(), 9, bytes);
        out.append(reinterpret_cast<char*>(bytes), 36);
    }
    return out;
}

}  // namespace

TEST(KillRecovery, killedReceiveRecoversEverySampleButAtMostTheLastSecond) {
    const int n = repeats();
    std::random_device rd;
    const unsigned seed = rd();
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> killAfterMs(500, 2000);
    std::printf("kill -9 repetitions: %d (seed %u)\n", n, seed);

    for (int rep = 0; rep < n; ++rep) {
        SCOPED_TRACE(testing::Message() << "repetition " << rep + 1 << ", seed " << seed);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const std::string d = dir.path().toStdString();
        setenv("MERVO_HOME", d.c_str(), 1);

        Child sim = spawn("mervo-sim", {"--rate", std::to_string(kRate), "--tee", d + "/sent.bin"}, d + "/sim.out",
                          d + "/sim.err");
        const std::string pty = waitFirstLine(d + "/sim.out", 10);
        ASSERT_FALSE(pty.empty()) << readFile(d + "/sim.err");
        const std::string file = d + "/TEMP.MTX";
        Child tool = spawn("mervo-tool", {"receive", "--port", pty, "-o", file}, d + "/t.out", d + "/t.err");
        const int ms = killAfterMs(rng);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        ::kill(tool.pid, SIGKILL);
        ::kill(sim.pid, SIGTERM);
        EXPECT_EQ(waitExit(tool, 10), 128 + SIGKILL) << readFile(d + "/t.err");
        waitExit(sim, 10);

        const Result r = run("mervo-tool", {"recover", file}, d);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("\"recovered\":true"), std::string::npos) << r.out;

        MeasurementReader reader;
        QString error;
        ASSERT_TRUE(reader.open(QString::fromStdString(file), &error)) << error.toStdString();
        const MeasurementInfo& info = reader.info();
        ASSERT_TRUE(info.complete);
        const std::string recovered = readFile(file);
        const std::string sent = readFile(d + "/sent.bin");
        const auto sentBlocks = static_cast<int64_t>(sent.size() / 30);
        const int64_t samples = info.wholeSamples;
        EXPECT_TRUE(recovered.substr(48, static_cast<size_t>(samples) * 36) ==
                    expectedSamples(sent, static_cast<size_t>(samples)))
            << "recovered samples differ from the blocks that were sent";
        EXPECT_LE(sentBlocks - samples, kRate) << "more than the last second's blocks are missing";
        EXPECT_GT(samples, 0);
        std::printf("repetition %d: killed after %d ms, blocks sent %lld, samples recovered %lld, lost %lld\n",
                    rep + 1, ms, static_cast<long long>(sentBlocks), static_cast<long long>(samples),
                    static_cast<long long>(sentBlocks - samples));
        std::fflush(stdout);
    }
}
