// The receive cycle driven by bytes and a hand-set clock: ends, trailer, record 2, scaling, the error path.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QFileInfo>
#include <QThread>

#include "acquisition/receive_cycle.h"
#include "acquisition/receive_status.h"
#include "measurement/reader.h"
#include "acquisition/record_scaling.h"
#include "measurement/recovery.h"
#include "measurement/sample_math.h"
#include "acquisition/instrument_sim.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/recording_file_system.h"
#include "platform/file_size_limit.h"
#include "support/status_matchers.h"

using namespace mervo;

namespace {

std::array<uint8_t, 30> blockOf(const BlockValues& v) { return encodeBlock(v); }

const BlockValues kTypical{-10, 230, 2.0f, -10, 231, 2.0f, -10, 229, 2.0f};

class Receive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("TEMP.MTX");
    }
    void feed(const BlockValues& v) {
        const auto b = blockOf(v);
        cycle.feed(b.data(), b.size());
    }
    MeasurementInfo read(std::vector<std::array<float, 9>>* samples = nullptr) {
        MeasurementReader r;
        EXPECT_TRUE(test::succeeded(r.open(path)));
        if (samples)
            for (int64_t k = 0; k < r.info().wholeSamples; ++k) {
                std::array<float, 9> s{};
                EXPECT_TRUE(test::succeeded(r.readSample(k, s.data())));
                samples->push_back(s);
            }
        return r.info();
    }

    QTemporaryDir dir;
    QString path;
    SharedState st;
    FakeClock clock;
    ReceiveCycle cycle{st, clock};
};

TEST_F(Receive, manualStopWritesTrailerAndTheLastBlocksElapsedTime) {
    st.motor.setNameplate({4, 11, 21.5f, 89.5f, 7.2f, 0.45f, 380});
    st.settings.BlueOn = 0;
    st.file.TotalTime = 99;
    ASSERT_TRUE(cycle.start(ReceiveMode::Manual, path));
    int panelUpdates = 0;
    cycle.onBlock = [&] { ++panelUpdates; };
    for (double t : {0.25, 0.5, 1.75}) {
        clock.advance(t - (clock.mono - 1000.0));
        feed(kTypical);
    }
    clock.advance(3);  // the operator presses stop later; record 2 keeps the last block's time
    cycle.requestStop();
    EXPECT_FALSE(cycle.running());
    EXPECT_EQ(cycle.end(), ReceiveEnd::Stopped);
    EXPECT_EQ(panelUpdates, 3);
    const MeasurementInfo info = read();
    ASSERT_TRUE(info.complete);
    EXPECT_EQ(info.wholeSamples, 3);
    EXPECT_FLOAT_EQ(info.header.TotalTime, 1.75f);
    EXPECT_FLOAT_EQ(info.header.StartTime, 36000.0f);
    EXPECT_EQ(info.header.wiringCode(), 5);
    EXPECT_EQ(info.header.nameplate[1], 11.0f);
    EXPECT_EQ(*info.maxima, st.live.LiveMax);
    EXPECT_EQ(*info.minima, st.live.LiveMin);
    EXPECT_TRUE(st.receive.ManualRunning) << "ready for the next manual receive";
}

TEST_F(Receive, stoppingBeforeAnyBlockLeavesTheEmptyLayout) {
    ASSERT_TRUE(cycle.start(ReceiveMode::Manual, path));
    cycle.requestStop();
    const MeasurementInfo info = read();
    EXPECT_EQ(info.bytes, 144);
    EXPECT_EQ(info.header.TotalTime, 0.0f);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ((*info.maxima)[i], -100000.0f);
        EXPECT_EQ((*info.minima)[i], 100000.0f);
    }
}

TEST_F(Receive, timedReceiveEndsAtItsTimeWithOrWithoutBytes) {
    st.file.TotalTime = 2;
    ASSERT_TRUE(cycle.start(ReceiveMode::Timed, path));
    feed(kTypical);
    clock.advance(1.0);
    cycle.poll();
    EXPECT_TRUE(cycle.running());
    feed(kTypical);
    clock.advance(1.5);
    cycle.poll();  // no byte came: the clock alone ends the run
    EXPECT_EQ(cycle.end(), ReceiveEnd::TimeReached);
    feed(kTypical);  // late bytes are not recorded
    const MeasurementInfo info = read();
    EXPECT_TRUE(info.complete);
    EXPECT_EQ(info.wholeSamples, 2);
    EXPECT_EQ(info.header.TotalTime, 2.0f);
}

TEST_F(Receive, aTimedReceiveCutShortRecordsTheTimeItRan) {
    st.file.TotalTime = 60;
    ASSERT_TRUE(cycle.start(ReceiveMode::Timed, path));
    clock.advance(2.5);
    feed(kTypical);
    clock.advance(1);
    cycle.portLost(QStringLiteral("unplugged"));
    EXPECT_EQ(read().header.TotalTime, 2.5f) << "the samples span 2.5 s, not the 60 s that were set";
}

TEST_F(Receive, anInterruptedTimedReceiveKeepsTheDurationOfItsSyncedBlocks) {
    st.file.TotalTime = 60;
    ASSERT_TRUE(cycle.start(ReceiveMode::Timed, path));
    clock.advance(1.25);
    feed(kTypical);
    clock.advance(0.5);
    cycle.poll();  // a second has passed: synced
    EXPECT_EQ(read().header.TotalTime, 1.25f) << "not the 60 s set, which the samples do not span";
    clock.advance(60);
    cycle.poll();
    EXPECT_EQ(read().header.TotalTime, 60.0f) << "a normal end records the set duration";
}

TEST_F(Receive, blocksArrivingAfterTheSetTimeAreNotProcessed) {
    st.file.TotalTime = 1;
    ASSERT_TRUE(cycle.start(ReceiveMode::Timed, path));
    clock.advance(1.0);
    feed(kTypical);
    EXPECT_EQ(cycle.end(), ReceiveEnd::TimeReached);
    EXPECT_EQ(read().bytes, 144);
}

TEST_F(Receive, storesScaledValuesWithPowersAsReceivedAndTheRatiosItStartedWith) {
    st.settings.CTRatio = 100;
    st.settings.PTRatio = 10;
    ASSERT_TRUE(cycle.start(ReceiveMode::Manual, path));
    // Channel 1's power exceeds U * I / 1000 on purpose: the file keeps it, only memory limits it.
    feed({1.5f, 38, 0.5f, 1, 22, 0.25f, 0, 0, 0});
    EXPECT_FLOAT_EQ(st.live.LiveValues[2], 57.0f + 22.0f) << "limited to S = 150 * 380 / 1000 and 100 * 220 / 1000";
    // A settings window open during the receive takes new ratios: they are for the next receive.
    st.settings.CTRatio = 1;
    st.settings.PTRatio = 1;
    feed({1.5f, 38, 0.5f, 1, 22, 0.25f, 0, 0, 0});
    cycle.requestStop();
    std::vector<std::array<float, 9>> s;
    read(&s);
    ASSERT_EQ(s.size(), 2u);
    const std::array<float, 9> want{150, 380, 500, 100, 220, 250, 0, 0, 0};
    EXPECT_EQ(s[0], want);
    EXPECT_EQ(s[1], want);
}

// Every second of blocks reaches the disk while the receive runs, not only at its end: a power cut loses at most
// the last second.
TEST_F(Receive, theFileIsSyncedEverySecondWhileBlocksArrive) {
    RecordingFileSystem fs;
    ReceiveCycle synced(st, clock, fs);
    ASSERT_TRUE(test::succeeded(synced.start(ReceiveMode::Manual, path)));
    for (int second = 1; second <= 4; ++second) {
        clock.advance(1.1);
        const auto b = blockOf(kTypical);
        synced.feed(b.data(), b.size());
        // The sync runs on a thread of its own: wait for it to happen, never for a fixed time.
        for (int waited = 0; fs.count(RecordingFileSystem::Op::Sync) < second && waited < 5000; ++waited)
            QThread::msleep(1);
        EXPECT_EQ(fs.count(RecordingFileSystem::Op::Sync), second) << "after second " << second;
    }
    synced.requestStop();
    const auto steps = fs.steps();
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps[steps.size() - 2].op, RecordingFileSystem::Op::Sync) << "the trailer is synced before closing";
    EXPECT_EQ(steps.back().op, RecordingFileSystem::Op::Close);
}

TEST_F(Receive, elapsedTimeStaysMonotonicOverMidnight) {
    clock.midnight = 86399.5;
    ASSERT_TRUE(cycle.start(ReceiveMode::Manual, path));
    clock.advance(1.0);  // the wall clock wraps to 0.5
    feed(kTypical);
    EXPECT_FLOAT_EQ(st.file.ElapsedTime, 1.0f);
    EXPECT_FLOAT_EQ(st.file.StartTime, 86399.5f);
    EXPECT_GT(st.sums.EnergyP, 0.0f);
}

TEST_F(Receive, aBlockTheArithmeticCannotHoldAbortsWithoutTrailer) {
    st.settings.CTRatio = 1e10f;
    ASSERT_TRUE(cycle.start(ReceiveMode::Manual, path));
    ReceiveEnd ended = ReceiveEnd::None;
    cycle.onEnded = [&](ReceiveEnd e) { ended = e; };
    feed(kTypical);
    feed({-9e18f, 9e18f, 1, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(ended, ReceiveEnd::Aborted);
    EXPECT_EQ(cycle.errorNumber(), kErrOverflow);
    EXPECT_TRUE(st.receive.AbortReceive);
    EXPECT_EQ(receiveErrorText(cycle.errorNumber()), QStringLiteral("其它错误，错误号： 6！"));
    EXPECT_EQ(receiveErrorText(5), QStringLiteral("数据接收超时错误，错误号： 5！\r\n请重新接收！"));
    const MeasurementInfo info = read();
    EXPECT_FALSE(info.complete);
    EXPECT_EQ(info.bytes, 4 * (12 + 18)) << "both blocks were written before the error; no trailer";
}

TEST_F(Receive, lostPortEndsNormallyWithEveryBlock) {
    ASSERT_TRUE(cycle.start(ReceiveMode::Manual, path));
    feed(kTypical);
    feed(kTypical);
    cycle.portLost(QStringLiteral("unplugged"));
    EXPECT_EQ(cycle.end(), ReceiveEnd::PortLost);
    EXPECT_EQ(receiveEndText(ReceiveEnd::PortLost, QStringLiteral("Inappropriate ioctl for device")),
              QStringLiteral("串行口连接中断：仪表已断开，接收已结束！\r\n已收到的数据全部保留在数据文件中。"))
        << "the system's stale words do not reach the operator";
    const MeasurementInfo info = read();
    EXPECT_TRUE(info.complete);
    EXPECT_EQ(info.wholeSamples, 2);
}

// Record 2 states the time the samples so far span, within a block period, whatever duration was set: a file
// cut short by a kill is analysed over the right time.
TEST_F(Receive, recordTwoFollowsTheSamplesWithinABlockPeriod) {
    for (const ReceiveMode mode : {ReceiveMode::Manual, ReceiveMode::Timed}) {
        SCOPED_TRACE(mode == ReceiveMode::Manual ? "manual" : "timed");
        st.file.TotalTime = 10;
        ASSERT_TRUE(cycle.start(mode, path));
        EXPECT_EQ(read().header.TotalTime, 0.0f) << "no sample yet";
        const struct {
            double at;
            float record2;
        } steps[] = {{0.5, 0.5f}, {0.51, 0.5f}, {0.55, 0.55f}, {0.56, 0.55f}, {1.75, 1.75f}};
        const double start = clock.mono;
        for (const auto& s : steps) {
            clock.advance(s.at - (clock.mono - start));
            feed(kTypical);
            EXPECT_FLOAT_EQ(read().header.TotalTime, s.record2) << "block at " << s.at << " s";
        }
        cycle.requestStop();
    }
}

TEST_F(Receive, aFullDiskEndsTheReceiveWithAMessageAndKeepsWhatWasWritten) {
    ASSERT_TRUE(cycle.start(ReceiveMode::Manual, path));
    // The disk fills in the middle of the sixth block: its write stops part way, as on a full disk.
    test::FileSizeLimit full(4 * (12 + 9 * 5) + 10);
    ASSERT_TRUE(full.active());
    ReceiveEnd ended = ReceiveEnd::None;
    cycle.onEnded = [&](ReceiveEnd e) { ended = e; };
    for (int i = 0; i < 8; ++i) feed(kTypical);
    full.lift();

    EXPECT_EQ(ended, ReceiveEnd::WriteFailed);
    EXPECT_EQ(cycle.blocks(), 5);
    EXPECT_FALSE(receiveEndText(ReceiveEnd::WriteFailed, cycle.endDetail()).isEmpty());
    EXPECT_FALSE(cycle.endDetail().isEmpty()) << "the reason reaches the operator";
    // What was written is intact and recovers to its five samples.
    ASSERT_TRUE(test::succeeded(recover(path)));
    const MeasurementInfo info = read();
    EXPECT_TRUE(info.complete);
    EXPECT_EQ(info.wholeSamples, 5);
}

// The disk fills at every byte of the last block and of the trailer: the file is cut back to its last whole
// sample, never keeps a torn sample or part of a trailer, and recovers to exactly the samples that were written.
TEST_F(Receive, aDiskFillingAnywhereInTheLastBlockOrTheTrailerLeavesOnlyWholeSamples) {
    const int64_t fourSamples = 48 + 4 * 36, fiveSamples = fourSamples + 36, complete = fiveSamples + 96;
    for (int64_t limit = fourSamples + 1; limit < complete; ++limit) {
        SCOPED_TRACE(testing::Message() << "the disk is full after byte " << limit);
        SharedState state;
        ReceiveCycle run(state, clock);
        ASSERT_TRUE(test::succeeded(run.start(ReceiveMode::Manual, path)));
        ReceiveEnd ended = ReceiveEnd::None;
        run.onEnded = [&](ReceiveEnd e) { ended = e; };
        {
            test::FileSizeLimit full(static_cast<rlim_t>(limit));
            ASSERT_TRUE(full.active());
            for (int i = 0; i < 5; ++i) {
                const auto b = blockOf(kTypical);
                run.feed(b.data(), b.size());
            }
            run.requestStop();
        }
        EXPECT_EQ(ended, ReceiveEnd::WriteFailed);
        const int64_t kept = limit < fiveSamples ? 4 : 5;
        EXPECT_EQ(QFileInfo(path).size(), 48 + 36 * kept) << "cut back to the last whole sample";
        const Result<RecoveryReport> r = recover(path);
        ASSERT_TRUE(test::succeeded(r));
        EXPECT_EQ(r->samples, kept);
        EXPECT_EQ(r->droppedBytes, 0);
        std::vector<std::array<float, 9>> samples;
        read(&samples);
        ASSERT_EQ(static_cast<int64_t>(samples.size()), kept);
        for (const auto& v : samples) EXPECT_EQ(v[0], -10.0f);
    }
}

TEST_F(Receive, startFailsClearlyWhereTheFileCannotBeMade) {
    const Status s = cycle.start(ReceiveMode::Manual, dir.filePath("no/such/dir/TEMP.MTX"));
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QStringLiteral("TEMP.MTX")));
    EXPECT_FALSE(cycle.running());
}

TEST_F(Receive, aNewReceiveStartsFromCleanExtremesAndSums) {
    ASSERT_TRUE(cycle.start(ReceiveMode::Manual, path));
    feed({-100, 230, 20, 0, 0, 0, 0, 0, 0});
    cycle.requestStop();
    ASSERT_TRUE(cycle.start(ReceiveMode::Manual, path));
    feed({-1, 230, 0.2f, 0, 0, 0, 0, 0, 0});
    cycle.requestStop();
    EXPECT_FLOAT_EQ(st.live.LiveMax[0], 1.0f);
    EXPECT_EQ(st.sums.BlockCount, 1.0f);
    EXPECT_EQ(read().wholeSamples, 1);
}

}  // namespace

TEST(ScaleRecord, currentsByCtVoltagesByPtPowersByBoth) {
    std::array<float, 12> v{1.5f, 38, 0.5f, 2, 22, 0.25f, -3, 40, -1, 7, 8, 9};
    ScaleRecord(v, 100, 10);
    const std::array<float, 12> want{150, 380, 500, 200, 220, 250, -300, 400, -1000, 7, 8, 9};
    EXPECT_EQ(v, want);
}

namespace mervo {
namespace {

// The status line's text, worked by hand: the remaining time rounded up to a whole second, the skipped bytes
// only when there are any, what to check once five seconds have passed without a block.
TEST(ReceiveStatus, textsOfAReceiveInProgress) {
    const struct {
        ReceiveProgress p;
        const char* text;
    } cases[] = {
        {{ReceiveMode::Manual, 0, 0, 0, 0, 0}, "等待数据……"},
        {{ReceiveMode::Manual, 123, 31.96, 0, 4, 0}, "正在接收　已记录 123 组　32.0 组/秒"},
        {{ReceiveMode::Timed, 480, 32, 45, 14.2, 60}, "正在接收　已记录 480 组　32.0 组/秒　跳过 45 字节　剩余 0:00:46"},
        {{ReceiveMode::Timed, 0, 0, 0, 0, 3725}, "等待数据……　剩余 1:02:05"},
        {{ReceiveMode::Timed, 9, 3, 0, 70, 60}, "正在接收　已记录 9 组　3.0 组/秒　剩余 0:00:00"},
        {{ReceiveMode::Timed, 0, 0, 12, 5, 60, 3}, "无数据：请查 COM3、电缆、仪表输出　跳过 12 字节　剩余 0:00:55"},
    };
    for (const auto& c : cases) EXPECT_EQ(receiveStatusText(c.p), QString::fromUtf8(c.text));
}

}  // namespace
}  // namespace mervo

// A view that follows the receive gets each block as it went to the file, with its number, time and totals.
TEST_F(Receive, eachProcessedBlockIsHandedOnWithTheValuesWrittenToTheFile) {
    struct Seen {
        int64_t number;
        float elapsed;
        std::array<float, 9> written;
        float sumP, sumQ, s, pf;
    };
    std::vector<Seen> seen;
    cycle.onProcessed = [&](const ProcessedBlock& b) {
        Seen x{b.number, b.elapsed, {}, b.sumP, b.sumQ, b.s, b.pf};
        std::copy(b.written, b.written + 9, x.written.begin());
        seen.push_back(x);
    };
    st.settings.CTRatio = 2;
    ASSERT_TRUE(cycle.start(ReceiveMode::Manual, path));
    // Each channel -5 A (x 2 = -10 A), 250 V, 2 kW: S 2.5 kVA, Q -1.5 kvar (the current's sign), so ΣP 6 kW,
    // ΣQ -4.5 kvar, S 7.5 kVA and the power factor -0.8.
    const BlockValues block{-5, 250, 1, -5, 250, 1, -5, 250, 1};
    feed(block);
    clock.advance(0.5);
    feed(block);
    cycle.requestStop();
    std::vector<std::array<float, 9>> file;
    read(&file);
    ASSERT_EQ(seen.size(), 2u);
    ASSERT_EQ(file.size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(seen[k].number, static_cast<int64_t>(k + 1));
        EXPECT_EQ(seen[k].written, file[k]);
        EXPECT_FLOAT_EQ(seen[k].sumP, 6);
        EXPECT_FLOAT_EQ(seen[k].sumQ, -4.5f);
        EXPECT_FLOAT_EQ(seen[k].s, 7.5f);
        EXPECT_FLOAT_EQ(seen[k].pf, -0.8f);
    }
    EXPECT_FLOAT_EQ(seen[1].elapsed, 0.5f);
}

// No write of a receive fails unheard: whichever write the disk refuses — a sample, record 2 as the samples move
// it on or as it is synced, the trailer — the receive ends as a failed write and says why.
TEST_F(Receive, everyRefusedWriteEndsTheReceiveAsAFailedWrite) {
    for (int refused = 2; refused <= 12; ++refused) {
        SCOPED_TRACE(testing::Message() << "the disk refuses write " << refused);
        RecordingFileSystem fs;
        fs.failAt(RecordingFileSystem::Op::Write, refused);
        SharedState state;
        ReceiveCycle run(state, clock, fs);
        ASSERT_TRUE(test::succeeded(run.start(ReceiveMode::Manual, path)));
        ReceiveEnd ended = ReceiveEnd::None;
        run.onEnded = [&](ReceiveEnd e) { ended = e; };
        for (int i = 0; i < 4 && ended == ReceiveEnd::None; ++i) {
            clock.advance(0.6);
            const auto b = blockOf(kTypical);
            run.feed(b.data(), b.size());
            run.poll();
        }
        if (ended == ReceiveEnd::None) run.requestStop();
        EXPECT_EQ(ended, ReceiveEnd::WriteFailed);
        EXPECT_FALSE(run.endDetail().isEmpty());
    }
}
