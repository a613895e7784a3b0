// A week of instrument blocks through the receive session: 19,353,600 blocks (a week at 32 a second) streamed
// through a pseudo-terminal into mervo-tool receive as fast as it takes them. Its memory stays flat and every
// block is stored, in order; a second receive of the stream, killed (kill -9) at a random moment, recovers to
// exactly the blocks it had stored. The long tier: MERVO_SOAK_BLOCKS sets the number of blocks (19353600 for the
// week); without it the test is skipped.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "acquisition/instrument_sim.h"
#include "end_to_end/process.h"
#include "measurement/codec.h"
#include "measurement/reader.h"
#include "platform/pty.h"
#include "support/status_matchers.h"

using namespace mervo;
using namespace mervo::test;

namespace {

int64_t soakBlocks() {
    const char* v = std::getenv("MERVO_SOAK_BLOCKS");
    return v ? std::atoll(v) : 0;
}

// Block k carries its own number: k mod 65536 as I1 and k / 65536 as U1, both exact in the instrument's number
// format, so every stored sample says which block it was. The other seven values stay as here.
const BlockValues kRest{0, 0, 2.5f, -7.25f, 231, 1.5f, 8, 229, 1.75f};

BlockValues blockValues(int64_t k) {
    BlockValues v = kRest;
    v[0] = static_cast<float>(k % 65536);
    v[1] = static_cast<float>(k / 65536);
    return v;
}

// Sends blocks `from` onwards into the pseudo-terminal, as many as it takes, until `total` or a stop.
void stream(ByteOutput& out, int64_t total, std::atomic<int64_t>& sent, const std::atomic<bool>& stop) {
    constexpr int64_t kChunk = 2048;
    std::vector<uint8_t> bytes(kChunk * 30);
    const auto fixed = encodeBlock(kRest);
    for (int64_t k = 0; k < total && !stop;) {
        const int64_t n = std::min(kChunk, total - k);
        for (int64_t j = 0; j < n; ++j) {
            uint8_t* b = bytes.data() + j * 30;
            std::memcpy(b, fixed.data(), 30);
            const auto i = EncodeTriple(static_cast<float>((k + j) % 65536));
            const auto u = EncodeTriple(static_cast<float>((k + j) / 65536));
            std::memcpy(b + 3, i.data(), 3);
            std::memcpy(b + 6, u.data(), 3);
        }
        // A few blocks a write, so that the count sent is near what has gone when a receive is killed.
        constexpr int64_t kWrite = 64;
        for (int64_t j = 0; j < n; j += kWrite) {
            const int64_t m = std::min(kWrite, n - j);
            if (!out.write(bytes.data() + j * 30, static_cast<size_t>(m * 30), &stop)) return;
            sent = k + j + m;
        }
        k += n;
    }
}

int64_t residentKiB(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6);
    return 0;
}

int64_t samplesIn(const std::string& file) {
    std::ifstream f(file, std::ios::binary | std::ios::ate);
    const int64_t bytes = f ? static_cast<int64_t>(f.tellg()) : 0;
    return bytes < 48 ? -1 : (bytes - 48) / 36;
}

// How many of the file's first `samples` samples are blocks 0, 1, 2, … in order, each value as sent.
int64_t samplesInOrder(const std::string& file, int64_t samples) {
    std::ifstream f(file, std::ios::binary);
    f.seekg(48);
    std::vector<char> chunk(36 << 16);
    int64_t k = 0;
    while (k < samples) {
        const int64_t n = std::min<int64_t>(samples - k, 1 << 16);
        if (!f.read(chunk.data(), n * 36)) return k;
        for (int64_t j = 0; j < n; ++j, ++k) {
            float v[9];
            std::memcpy(v, chunk.data() + j * 36, 36);
            const BlockValues want = blockValues(k);
            if (!std::equal(v, v + 9, want.begin())) return k;
        }
    }
    return k;
}

struct SoakRun {
    int64_t stored = 0, sent = 0;
    double seconds = 0;
    int64_t earlyKiB = 0, peakKiB = 0;  // resident memory after a tenth of the blocks, and the most after it
    int status = 0;
};

// One receive of the stream: to its end (killAt < 0), or killed once the file holds killAt samples.
SoakRun receive(const std::string& d, const std::string& file, int64_t blocks, int64_t killAt) {
    SoakRun run;
    auto pty = ByteOutput::openPty();
    EXPECT_TRUE(pty.ok());
    if (!pty) return run;
    std::vector<std::string> args{"receive", "--port", (*pty)->slavePath().toStdString(), "-o", file};
    if (killAt < 0) args.insert(args.end(), {"--blocks", std::to_string(blocks)});
    Child tool = spawn("mervo-tool", args, d + "/r.out", d + "/r.err");
    // The real event: the file is made once the receive has opened the line and thrown away what waited there.
    while (samplesIn(file) < 0 && ::kill(tool.pid, 0) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::atomic<int64_t> sent{0};
    std::atomic<bool> stop{false};
    const auto t0 = std::chrono::steady_clock::now();
    std::thread sender([&] { stream(**pty, blocks, sent, stop); });
    for (;;) {
        const int64_t stored = samplesIn(file);
        if (killAt >= 0 && stored >= killAt) {
            ::kill(tool.pid, SIGKILL);
            break;
        }
        const int64_t kib = residentKiB(tool.pid);
        if (kib == 0) break;  // gone: the receive has ended
        if (run.earlyKiB == 0 && stored >= blocks / 10) run.earlyKiB = kib;
        if (run.earlyKiB > 0) run.peakKiB = std::max(run.peakKiB, kib);
        std::this_thread::sleep_for(std::chrono::milliseconds(killAt >= 0 ? 1 : 100));
    }
    run.status = waitExit(tool, 60 + static_cast<double>(blocks) / 20000);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    stop = true;
    sender.join();
    run.sent = sent;
    run.stored = samplesIn(file);
    return run;
}

}  // namespace

TEST(ReceiveSoak, aWeekOfBlocksAtFullSpeedKeepsMemoryFlatLosesNothingAndRecoversAfterAKill) {
    const int64_t n = soakBlocks();
    if (n <= 0) GTEST_SKIP() << "the long tier: MERVO_SOAK_BLOCKS=19353600 for a week of blocks";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string d = dir.path().toStdString();
    setenv("MERVO_HOME", d.c_str(), 1);

    const std::string whole = d + "/week.MTQ";
    const SoakRun full = receive(d, whole, n, -1);
    ASSERT_EQ(full.status, 0) << readFile(d + "/r.err");
    MeasurementInfo info;
    {
        MeasurementReader r;
        ASSERT_TRUE(test::succeeded(r.open(QString::fromStdString(whole))));
        info = r.info();
    }
    EXPECT_TRUE(info.complete);
    EXPECT_EQ(info.wholeSamples, n);
    EXPECT_EQ(samplesInOrder(whole, n), n) << "the first sample that is not its block";
    EXPECT_LE(full.peakKiB - full.earlyKiB, 4096) << "memory grew from " << full.earlyKiB << " KiB";
    const double rate = static_cast<double>(n) / full.seconds;
    std::printf("soak: %lld blocks in %.1f s (%.0f blocks/s, a week at 32 blocks/s in %.1f min); resident %lld KiB "
                "after a tenth, at most %lld KiB after it; file %lld bytes\n",
                static_cast<long long>(n), full.seconds, rate, 19353600.0 / rate / 60,
                static_cast<long long>(full.earlyKiB), static_cast<long long>(full.peakKiB),
                static_cast<long long>(info.bytes));
    QFile::remove(QString::fromStdString(whole));

    std::random_device rd;
    const unsigned seed = rd();
    std::mt19937_64 rng(seed);
    const int64_t killAt = std::uniform_int_distribution<int64_t>(1, n - 1)(rng);
    const std::string killed = d + "/killed.MTQ";
    const SoakRun cut = receive(d, killed, n, killAt);
    EXPECT_EQ(cut.status, 128 + SIGKILL) << readFile(d + "/r.err");
    const ProcessResult r = run("mervo-tool", {"recover", killed}, d, 600);
    ASSERT_EQ(r.status, 0) << r.err;
    MeasurementReader reader;
    ASSERT_TRUE(test::succeeded(reader.open(QString::fromStdString(killed))));
    EXPECT_TRUE(reader.info().complete);
    const int64_t kept = reader.info().wholeSamples;
    EXPECT_GE(kept, killAt);
    EXPECT_EQ(kept, cut.stored) << "every whole sample written before the kill is kept";
    EXPECT_EQ(samplesInOrder(killed, kept), kept) << "the first recovered sample that is not its block";
    EXPECT_LE(cut.sent - kept, static_cast<int64_t>(rate)) << "more than a second of blocks in flight at the kill";
    std::printf("soak kill (seed %u): killed at %lld samples written, %lld recovered, %lld sent, %lld in flight\n",
                seed, static_cast<long long>(cut.stored), static_cast<long long>(kept),
                static_cast<long long>(cut.sent), static_cast<long long>(cut.sent - kept));
}
