#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <vector>

#include "measurement/sample_math.h"
#include "measurement/recovery.h"
#include "measurement/writer.h"
#include "platform/fake/recording_file_system.h"
#include "shared/shared_state.h"
#include "support/status_matchers.h"

using namespace mervo;

namespace {

using Sample = std::array<float, 9>;

// A varied load: signed currents (reactive power of either sign), a generating channel, a power above U x I
// that gets limited, and one sample the receive could not process (a NaN from a damaged block).
std::vector<Sample> makeSamples(int n) {
    std::vector<Sample> s;
    for (int k = 0; k < n; ++k) {
        const float f = static_cast<float>(k);
        s.push_back({10.0f + f, 230.0f + 0.5f * f, 1.8f + 0.1f * f,           //
                     -(8.0f + 0.25f * f), 231.0f, 1.5f,                      //
                     12.0f - f, 229.0f - f, k % 2 ? -2.0f : 9.0f});
    }
    if (n > 2) s[1][4] = std::numeric_limits<float>::quiet_NaN();
    return s;
}

FileHeader makeHeader(float duration) {
    FileHeader h;
    h.StartTime = 3725.25f;
    h.TotalTime = duration;
    h.nameplate = {4, 7.5f, 15.4f, 87, 6.2f, 0.35f, 380};
    h.channels = {1, 0, 1};
    return h;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Recovery : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("TEMP.MTX"));

    // Writes header and samples as the receive does; with `trailer`, the extremes a receive at an even rate
    // over `duration` would have gathered, through the receive's own ProcessSample.
    void writeFile(const QString& p, const std::vector<Sample>& s, float duration, bool trailer) {
        WorkingFileWriter w;
        ASSERT_TRUE(test::succeeded(w.create(p, makeHeader(duration))));
        LiveArrays live;
        live.resetExtremes();
        RunningSums sums;
        float t = 0;
        const float step = s.empty() ? 0.0f : duration / static_cast<float>(s.size());
        for (const Sample& v : s) {
            ASSERT_TRUE(w.appendSample(v.data()));
            for (int j = 0; j < 9; ++j) live.LiveValues[j] = v[j];
            t = t + step;
            ProcessSample(live, sums, t);
        }
        if (trailer) {
            ASSERT_TRUE(w.appendTrailer(live.LiveMax, live.LiveMin));
        }
        EXPECT_TRUE(test::succeeded(w.close()));
    }
    // A header a receive could write (start 3600 s, 10 s, nameplate, all channels), with record n (from 0)
    // replaced by v.
    static QByteArray headerWith(int n, float v) {
        float h[12] = {3600, 10, 4, 7.5f, 15.4f, 87, 6.2f, 0.35f, 380, 1, 1, 1};
        h[n] = v;
        unsigned char bytes[48];
        encodeRecords(h, 12, bytes);
        return QByteArray(reinterpret_cast<const char*>(bytes), 48);
    }
    void appendBytes(const QByteArray& b) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        ASSERT_EQ(f.write(b), b.size());
    }
    QStringList leftovers() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
};

}  // namespace

TEST_F(Recovery, everyCutOfAReceiveIsFinishedAsANormalEndWouldHave) {
    const float duration = 12.5f;
    for (int n : {0, 1, 3, 40}) {
        const auto samples = makeSamples(n);
        const QString expectedPath = dir.filePath(QStringLiteral("expected.MTQ"));
        writeFile(expectedPath, samples, duration, true);
        const QByteArray expected = readAll(expectedPath);
        // The start of one more sample, as a kill in the middle of writing it would leave.
        QByteArray next(36, '\0');
        for (int i = 0; i < 36; ++i) next[i] = static_cast<char>(0x40 + i);

        for (int k = 0; k <= 35; ++k) {
            SCOPED_TRACE(testing::Message() << "samples " << n << ", partial bytes " << k);
            writeFile(path, samples, duration, false);
            appendBytes(next.left(k));
            const QByteArray before = readAll(path);
            ASSERT_EQ(before.size(), 48 + 36 * n + k);

            const Diagnosis d = diagnose(path);
            const Result<RecoveryReport> rec = recover(path);
            ASSERT_TRUE(test::succeeded(rec));
            const RecoveryReport& r = *rec;
            EXPECT_EQ(r.found.condition, d.condition);
            EXPECT_FALSE(d.description.isEmpty());

            if (k == 24 && n >= 2) {
                // Same length as a complete file of n - 2 samples: taken as complete and left alone.
                EXPECT_EQ(d.condition, FileCondition::Complete);
                EXPECT_FALSE(r.recovered);
                EXPECT_EQ(readAll(path), before);
                continue;
            }
            EXPECT_EQ(d.condition, k == 0 ? FileCondition::MissingTrailer : FileCondition::PartialSample);
            EXPECT_EQ(d.samples, n);
            EXPECT_EQ(d.partialBytes, k);
            EXPECT_TRUE(r.recovered);
            EXPECT_EQ(r.samples, n);
            EXPECT_EQ(r.droppedBytes, k);
            EXPECT_EQ(readAll(path), expected);
            EXPECT_EQ(diagnose(path).condition, FileCondition::Complete);
            EXPECT_EQ(leftovers(), QStringList({"TEMP.MTX", "expected.MTQ"}));
        }
    }
}

TEST_F(Recovery, energiesComeFromTheDurationAndTheSampleCount) {
    // Ten samples of 10 kW (one channel, unity power factor) over 360 s: 1 kWh at the end, 0.1 kWh after the first.
    std::vector<Sample> s(10, Sample{10, 1000, 10, 0, 0, 0, 0, 0, 0});
    writeFile(path, s, 360.0f, false);
    const Result<RecoveryReport> rec = recover(path);
    ASSERT_TRUE(test::succeeded(rec));
    const RecoveryReport& r = *rec;
    EXPECT_FLOAT_EQ(r.maxima[10], 1.0f);
    EXPECT_FLOAT_EQ(r.minima[10], 0.1f);
    EXPECT_EQ(r.maxima[11], 0.0f);
    EXPECT_EQ(r.maxima[2], 10.0f);
    EXPECT_EQ(r.maxima[8], 1.0f);

}

TEST_F(Recovery, filesThatCannotBeRecoveredAreLeftAsTheyAre) {
    struct Case {
        const char* what;
        QByteArray content;
        FileCondition condition;
    };
    const Case cases[] = {
        {"empty", QByteArray(), FileCondition::TooShort},
        {"one byte", QByteArray(1, '\x01'), FileCondition::TooShort},
        {"one record short of a header", QByteArray(44, '\x02'), FileCondition::TooShort},
        {"one byte short of a header", QByteArray(47, '\x03'), FileCondition::TooShort},
        // Files of another kind, as long as a header and whole samples: never taken for a recording.
        {"text", QByteArray("lorem ipsum dolor sit amet ").repeated(10).left(48 + 36 * 5),
         FileCondition::NotMeasurement},
        {"text with half a sample", QByteArray("lorem ipsum ").repeated(20).left(48 + 36 * 2 + 7),
         FileCondition::NotMeasurement},
        {"duration not a number", headerWith(1, std::numeric_limits<float>::quiet_NaN()) + QByteArray(72, '\0'),
         FileCondition::NotMeasurement},
        {"negative duration", headerWith(1, -5.0f) + QByteArray(36, '\0'), FileCondition::NotMeasurement},
        {"start time past midnight", headerWith(0, 86401.0f) + QByteArray(36, '\0'), FileCondition::NotMeasurement},
        {"nameplate infinite", headerWith(4, std::numeric_limits<float>::infinity()) + QByteArray(36, '\0'),
         FileCondition::NotMeasurement},
        {"channel flag 2", headerWith(10, 2.0f) + QByteArray(36, '\0'), FileCondition::NotMeasurement},
        {"channel flag one half", headerWith(11, 0.5f), FileCondition::NotMeasurement},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.content);
        f.close();
        const Diagnosis d = diagnose(path);
        EXPECT_EQ(d.condition, c.condition);
        EXPECT_FALSE(d.recoverable());
        const Result<RecoveryReport> r = recover(path);
        ASSERT_FALSE(r);
        EXPECT_FALSE(r.message().isEmpty());
        EXPECT_EQ(readAll(path), c.content);
    }
    EXPECT_EQ(diagnose(dir.filePath("missing.MTQ")).condition, FileCondition::Unreadable);
    EXPECT_FALSE(recover(dir.filePath("missing.MTQ")));
    EXPECT_EQ(diagnose(dir.path()).condition, FileCondition::Unreadable);
    EXPECT_FALSE(recover(dir.path()));
    EXPECT_EQ(leftovers(), QStringList({"TEMP.MTX"}));
}

TEST_F(Recovery, theCopyLeftByAnInterruptedRecoveryIsClearedNextTime) {
    writeFile(path, makeSamples(3), 3.0f, false);
    const auto put = [&](const char* name) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("half a copy");
    };
    put(".TEMP.MTX.recover-a1B2c3");  // from a recovery of this file that never finished
    put(".OTHER.MTQ.recover-a1B2c3");  // another file's: not ours to touch
    put(".TEMP.MTX.recover-seven77");  // not a name a recovery makes
    ASSERT_TRUE(test::succeeded(recover(path)));
    EXPECT_EQ(leftovers(), QStringList({".OTHER.MTQ.recover-a1B2c3", ".TEMP.MTX.recover-seven77", "TEMP.MTX"}));
}

TEST_F(Recovery, theFinishedFileIsOnTheDiskBeforeItTakesTheOriginalsName) {
    writeFile(path, makeSamples(3), 3.0f, false);
    RecordingFileSystem fs;
    ASSERT_TRUE(test::succeeded(recover(path, fs)));
    using Op = RecordingFileSystem::Op;
    const auto steps = fs.steps();
    const auto at = [&](Op op, const QString& p) {
        for (size_t i = 0; i < steps.size(); ++i)
            if (steps[i].op == op && steps[i].path == p) return static_cast<int>(i);
        return -1;
    };
    const int rename = at(Op::Rename, path);
    ASSERT_GE(rename, 0);
    const QString copy = steps[static_cast<size_t>(rename)].from;
    const int sync = at(Op::Sync, copy);
    ASSERT_GE(sync, 0) << "the copy is never synced";
    EXPECT_LT(sync, rename);
    for (size_t i = static_cast<size_t>(sync); i < steps.size(); ++i) EXPECT_NE(steps[i].op, Op::Write) << i;
    EXPECT_GT(at(Op::SyncDirectory, path), rename) << "the new name is made durable";
}

TEST_F(Recovery, aCompleteFileIsNotRewritten) {
    writeFile(path, makeSamples(5), 2.0f, true);
    const QByteArray before = readAll(path);
    const QFileInfo info(path);
    const auto inode = QFile::encodeName(path);
    struct stat st1 {}, st2 {};
    ASSERT_EQ(::stat(inode.constData(), &st1), 0);
    const Result<RecoveryReport> rec = recover(path);
    ASSERT_TRUE(test::succeeded(rec));
    const RecoveryReport& r = *rec;
    EXPECT_FALSE(r.recovered);
    EXPECT_EQ(r.found.condition, FileCondition::Complete);
    EXPECT_EQ(r.samples, 5);
    ASSERT_EQ(::stat(inode.constData(), &st2), 0);
    EXPECT_EQ(st1.st_ino, st2.st_ino);  // not replaced by a rewritten copy
    EXPECT_EQ(readAll(path), before);
}

TEST_F(Recovery, aWriteThatFailsLeavesTheOriginalUntouched) {
    writeFile(path, makeSamples(200), 4.0f, false);
    appendBytes(QByteArray(17, '\x7f'));
    const QByteArray before = readAll(path);

    // A file size limit just below what the finished file needs: the new file's writes fail part way, as on a
    // full disk. Root is bound by it too.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = old;
    lim.rlim_cur = static_cast<rlim_t>(before.size());
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
    const Result<RecoveryReport> failed = recover(path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);

    ASSERT_FALSE(failed);
    EXPECT_FALSE(failed.message().isEmpty());
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(leftovers(), QStringList({"TEMP.MTX"}));
    // And once the disk has room again the same file recovers.
    const Result<RecoveryReport> r = recover(path);
    ASSERT_TRUE(test::succeeded(r));
    EXPECT_TRUE(r->recovered);
    EXPECT_EQ(r->samples, 200);
}

// A file no receive wrote is refused before a byte is copied, so is a copy the disk has no room for, and a copy
// stopped part way leaves nothing behind; the original is untouched each time.
TEST_F(Recovery, aCopyThatCannotOrNeedNotBeMadeLeavesNothingBehind) {
    constexpr int kSamples = 5000;  // more than one chunk of the copy
    // Finished: 4 x (12 + 9 x 5000 + 24) bytes.
    constexpr int64_t kFinishedBytes = 180144;
    struct Case {
        const char* what;
        float start, duration, nameplatePower;
        int readingAt;       // the one sample with a reading (a current of 1 A), -1 for none
        int64_t freeBytes;   // -1: the real disk
        int stopOnCall;      // the stop asked for at this call of the check, 0 for never
        const char* refusal; // empty: recovered
    };
    const Case cases[] = {
        {"zeros throughout", 0, 0, 0, -1, -1, 0, "不能恢复"},
        {"zero header, a reading in the last sample only", 0, 0, 0, kSamples - 1, -1, 0, ""},
        {"zero header but a duration", 0, 0.5f, 0, -1, -1, 0, ""},
        {"zero header but a nameplate", 0, 0, 7.5f, -1, -1, 0, ""},
        {"room for all but one byte", 3600, 10, 7.5f, 0, kFinishedBytes - 1, 0, "需要 180144 字节"},
        {"room for exactly the finished file", 3600, 10, 7.5f, 0, kFinishedBytes, 0, ""},
        {"stopped after the first chunk", 3600, 10, 7.5f, 0, -1, 3, "已中止"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<float> records = {c.start, c.duration, 4, c.nameplatePower, 0, 0, 0, 0, 0, 0, 0, 0};
        if (c.nameplatePower == 0) records[2] = 0;
        records.resize(12 + 9 * kSamples, 0.0f);
        if (c.readingAt >= 0) records[12 + 9 * static_cast<size_t>(c.readingAt)] = 1.0f;
        QByteArray bytes(static_cast<int>(records.size() * 4), '\0');
        encodeRecords(records.data(), records.size(), reinterpret_cast<unsigned char*>(bytes.data()));
        bytes += QByteArray(7, '\0');  // and the start of one more sample
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ASSERT_EQ(f.write(bytes), bytes.size());
        }
        RecordingFileSystem fs;
        fs.setFreeBytes(c.freeBytes);
        int calls = 0;
        const Result<RecoveryReport> r = recover(path, fs, [&] { return ++calls == c.stopOnCall; });

        if (*c.refusal == '\0') {
            ASSERT_TRUE(test::succeeded(r));
            EXPECT_TRUE(r->recovered);
            EXPECT_EQ(r->samples, kSamples);
            EXPECT_EQ(QFileInfo(path).size(), kFinishedBytes);
        } else {
            ASSERT_FALSE(r);
            EXPECT_TRUE(r.message().contains(QString::fromUtf8(c.refusal))) << r.message().toStdString();
            EXPECT_EQ(readAll(path), bytes);
        }
        EXPECT_EQ(leftovers(), QStringList({"TEMP.MTX"}));
        if (c.stopOnCall > 0) {
            EXPECT_GT(fs.count(RecordingFileSystem::Op::Write), 1) << "stopped before the copy began";
        }
    }
}

// Through a symbolic link the file it points to is recovered in its own place, and the link stays a link.
TEST_F(Recovery, aLinkStaysALinkAndItsFileIsRecovered) {
    QTemporaryDir elsewhere;
    struct Case {
        const char* what;
        QString target;      // the recording
        QString linkText;    // what the link says
    };
    const Case cases[] = {
        {"beside it", dir.filePath("real.MTQ"), dir.filePath("real.MTQ")},
        {"relative", dir.filePath("real.MTQ"), QStringLiteral("real.MTQ")},
        {"in another folder", elsewhere.filePath("far.MTQ"), elsewhere.filePath("far.MTQ")},
    };
    const QString link = dir.filePath("link.MTQ");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(c.target, makeSamples(3), 3.0f, false);
        QFile::remove(link);
        ASSERT_EQ(::symlink(QFile::encodeName(c.linkText).constData(), QFile::encodeName(link).constData()), 0);

        const Result<RecoveryReport> r = recover(link);
        ASSERT_TRUE(test::succeeded(r));
        EXPECT_TRUE(r->recovered);
        EXPECT_TRUE(QFileInfo(link).isSymLink()) << "the link was replaced by a file";
        EXPECT_EQ(QFile::symLinkTarget(link), QFileInfo(c.target).absoluteFilePath());
        EXPECT_EQ(QFileInfo(c.target).size(), 4 * (12 + 9 * 3 + 24));
        EXPECT_EQ(diagnose(c.target).condition, FileCondition::Complete);
        for (const QString& d : {dir.path(), elsewhere.path()})
            for (const QString& name : QDir(d).entryList(QDir::Files | QDir::Hidden | QDir::System))
                EXPECT_FALSE(name.startsWith('.')) << name.toStdString() << " left behind";
        QFile::remove(c.target);
    }
}
