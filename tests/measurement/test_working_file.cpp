#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <limits>

#include "measurement/nameplate_rewrite.h"
#include "measurement/reader.h"
#include "measurement/writer.h"
#include "platform/fake/recording_file_system.h"
#include "shared/shared_state.h"
#include "support/status_matchers.h"

using namespace mervo;

namespace {

// Little-endian IEEE single bytes of values used below, worked out by hand.
const QByteArray kOne = QByteArray::fromHex("0000803f");            // 1.0
const QByteArray kZero = QByteArray::fromHex("00000000");           // 0.0
const QByteArray kMinus100000 = QByteArray::fromHex("0050c3c7");    // -100000
const QByteArray kPlus100000 = QByteArray::fromHex("0050c347");     // 100000
const QByteArray k3725_25 = QByteArray::fromHex("00d46845");        // 3725.25 = 0x4568D400

class WorkingFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("TEMP.MTX"));
    WorkingFileWriter writer;

    QByteArray bytes() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray record(int64_t n) const { return bytes().mid(static_cast<int>(recordOffset(n)), 4); }

    // Sample k holds 10k + j at offset j; with `trailer`, maxima are 1..12 and minima -1..-12.
    void write(int samples, bool trailer, const FileHeader& h = FileHeader{}) {
        ASSERT_TRUE(test::succeeded(writer.create(path, h)));
        for (int k = 0; k < samples; ++k) {
            float v[9];
            for (int j = 0; j < 9; ++j) v[j] = 10.0f * k + j;
            ASSERT_TRUE(writer.appendSample(v));
        }
        if (trailer) {
            std::array<float, 12> mx{}, mn{};
            for (int i = 0; i < 12; ++i) mx[i] = float(i + 1), mn[i] = -float(i + 1);
            ASSERT_TRUE(writer.appendTrailer(mx, mn));
        }
        EXPECT_TRUE(test::succeeded(writer.close()));
    }
    void appendRaw(const QByteArray& extra) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(extra);
    }
};

}  // namespace

TEST_F(WorkingFile, receiveWithoutBlocksLeavesThirtySixRecordsWithInitialExtremes) {
    LiveArrays live;
    live.resetExtremes();
    ASSERT_TRUE(writer.create(path, FileHeader{}));
    ASSERT_TRUE(writer.appendTrailer(live.LiveMax, live.LiveMin));
    EXPECT_TRUE(test::succeeded(writer.close()));
    const QByteArray b = bytes();
    ASSERT_EQ(b.size(), 144);
    for (int n = 13; n <= 24; ++n) EXPECT_EQ(record(n), kMinus100000) << n;
    for (int n = 25; n <= 36; ++n) EXPECT_EQ(record(n), kPlus100000) << n;

    MeasurementReader reader;
    ASSERT_TRUE(reader.open(path));
    EXPECT_EQ(reader.info().SampleCount, 0.0f);
    EXPECT_TRUE(reader.info().complete);
    EXPECT_EQ(reader.info().wholeSamples, 0);
    ASSERT_TRUE(reader.info().maxima.has_value());
    EXPECT_EQ(reader.info().maxima->at(11), -100000.0f);
    EXPECT_EQ(reader.info().minima->at(0), 100000.0f);
}

TEST_F(WorkingFile, thousandSamplesPutTheTrailerAtRecord9013) {
    write(1000, true);
    const QByteArray b = bytes();
    ASSERT_EQ(b.size(), 36144);
    EXPECT_EQ(b.mid(4 * 9012, 4), kOne) << "first maximum";
    EXPECT_EQ(record(9013 + 12), QByteArray::fromHex("000080bf")) << "first minimum, -1.0";

    MeasurementReader reader;
    ASSERT_TRUE(test::succeeded(reader.open(path)));
    EXPECT_EQ(reader.info().SampleCount, 1000.0f);
    EXPECT_EQ(reader.info().wholeSamples, 1000);
    EXPECT_TRUE(reader.info().complete);
    EXPECT_EQ(reader.info().maxima->at(11), 12.0f);
    EXPECT_EQ(reader.info().minima->at(11), -12.0f);
    float s[9];
    for (int k : {0, 1, 517, 999}) {
        ASSERT_TRUE(reader.readSample(k, s));
        for (int j = 0; j < 9; ++j) EXPECT_EQ(s[j], 10.0f * k + j) << k << ' ' << j;
    }
}

TEST_F(WorkingFile, headerRecordsInOrderWithFlagsAsFloats) {
    const struct {
        std::array<int16_t, 3> flags;
        int code;
    } cases[] = {{{1, 1, 1}, 7}, {{1, 0, 0}, 4}, {{0, 1, 1}, 3}, {{1, 0, 1}, 5}};
    for (const auto& c : cases) {
        FileHeader h;
        h.StartTime = 3725.25f;
        h.TotalTime = 360;
        h.nameplate = {4, 7.5f, 15.4f, 87, 6.2f, 0.35f, 380};
        h.channels = c.flags;
        write(0, true, h);
        EXPECT_EQ(record(1), k3725_25);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(record(10 + i), c.flags[i] ? kOne : kZero) << c.code;

        MeasurementReader reader;
        ASSERT_TRUE(reader.open(path));
        const FileHeader& r = reader.info().header;
        EXPECT_EQ(r.StartTime, 3725.25f);
        EXPECT_EQ(r.TotalTime, 360.0f);
        EXPECT_EQ(r.nameplate, h.nameplate);
        EXPECT_EQ(r.channels, c.flags);
        EXPECT_EQ(r.wiringCode(), c.code);
        EXPECT_TRUE(r.motorDataValid());
    }
}

TEST_F(WorkingFile, anyZeroNameplateValueMakesMotorDataInvalid) {
    for (int zero = 0; zero < 7; ++zero) {
        FileHeader h;
        h.nameplate = {4, 7.5f, 15.4f, 87, 6.2f, 0.35f, 380};
        h.nameplate[zero] = 0;
        write(1, true, h);
        MeasurementReader reader;
        ASSERT_TRUE(reader.open(path));
        EXPECT_FALSE(reader.info().header.motorDataValid()) << zero;
    }
}

TEST_F(WorkingFile, recordTwoIsRewrittenInPlace) {
    ASSERT_TRUE(writer.create(path, FileHeader{3725.25f, 0, {}, {1, 1, 1}}));
    const float v[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_TRUE(writer.appendSample(v));
    ASSERT_TRUE(writer.writeRecord(2, 1.0f));
    ASSERT_TRUE(writer.appendSample(v)) << "appending goes on at the end";
    EXPECT_TRUE(test::succeeded(writer.close()));
    EXPECT_EQ(bytes().size(), 4 * (12 + 18));
    EXPECT_EQ(record(1), k3725_25);
    EXPECT_EQ(record(2), kOne);
    EXPECT_EQ(record(3), kZero);
    EXPECT_EQ(record(13), kOne);
}

TEST_F(WorkingFile, interruptedFileIsIncompleteButKeepsItsWholeSamples) {
    const struct {
        int extraBytes;
        const char* what;
    } cases[] = {{0, "no trailer"}, {20, "part of a sample"}, {2, "part of a record"}, {35, "both"}};
    for (const auto& c : cases) {
        write(3, false);
        appendRaw(QByteArray(c.extraBytes, '\x01'));
        MeasurementReader reader;
        ASSERT_TRUE(reader.open(path)) << c.what;
        EXPECT_FALSE(reader.info().complete) << c.what;
        EXPECT_EQ(reader.info().wholeSamples, 3) << c.what;
        EXPECT_FALSE(reader.info().maxima.has_value()) << c.what;
        float s[9];
        EXPECT_TRUE(reader.readSample(2, s)) << c.what;
        EXPECT_EQ(s[8], 28.0f);
        EXPECT_FALSE(reader.readSample(3, s)) << c.what;
    }
}

TEST_F(WorkingFile, fileShorterThanTheHeaderIsRefused) {
    for (int size : {0, 4, 47}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(size, '\0'));
        f.close();
        MeasurementReader reader;
        const Status opened = reader.open(path);
        EXPECT_FALSE(opened) << size;
        EXPECT_FALSE(opened.message().isEmpty());
    }
}

TEST_F(WorkingFile, headerNoReceiveWritesIsRefusedWithTheRecordNamed) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        int record;  // from 1
        float value;
        bool accepted;
        const char* reason;  // part of the message when refused
    } cases[] = {
        {1, 0.0f, true, ""},          {1, 86399.99f, true, ""},    {1, 86400.0f, true, ""},
        {1, -0.5f, false, "第 1 项"}, {1, 86400.5f, false, "第 1 项"}, {1, nan, false, "第 1 项"},
        {2, 0.0f, true, ""},          {2, 1e9f, true, ""},         {2, -1.0f, false, "第 2 项"},
        {2, nan, false, "第 2 项"},   {2, inf, false, "第 2 项"},    {3, -4.0f, true, ""},
        {5, nan, false, "第 5 项"},   {9, -inf, false, "第 9 项"},   {10, -1.0f, true, ""},
        {10, 2.0f, false, "第 10 项"}, {11, 0.5f, false, "第 11 项"}, {12, 65536.0f, false, "第 12 项"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "record " << c.record << " = " << c.value);
        write(2, true);
        float h[12];
        {
            MeasurementReader reader;
            ASSERT_TRUE(reader.open(path));
            ASSERT_TRUE(reader.readRecords(1, 12, h));
        }
        h[c.record - 1] = c.value;
        EXPECT_EQ(headerProblem(h).isEmpty(), c.accepted) << headerProblem(h).toStdString();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        unsigned char bytes[48];
        encodeRecords(h, 12, bytes);
        f.write(reinterpret_cast<const char*>(bytes), 48);
        f.close();
        MeasurementReader reader;
        const Status opened = reader.open(path);
        EXPECT_EQ(opened.ok(), c.accepted) << opened.message().toStdString();
        if (!c.accepted) {
            EXPECT_TRUE(opened.message().contains(QStringLiteral("不是测量数据文件")));
            EXPECT_TRUE(opened.message().contains(QString::fromUtf8(c.reason)));
            EXPECT_EQ(reader.info().headerProblem, headerProblem(h));
        }
    }
}

TEST_F(WorkingFile, readsOutsideTheFileFailInsteadOfReturningGarbage) {
    write(2, true);  // 12 + 18 + 24 = 54 records
    MeasurementReader reader;
    ASSERT_TRUE(reader.open(path));
    float out[24];
    EXPECT_TRUE(reader.readRecords(54, 1, out));
    EXPECT_EQ(out[0], -12.0f);
    EXPECT_FALSE(reader.readRecords(54, 2, out));
    EXPECT_FALSE(reader.readRecords(55, 1, out));
    EXPECT_FALSE(reader.readRecords(0, 1, out));
    EXPECT_FALSE(reader.readRecords(1, -1, out));
    EXPECT_FALSE(reader.readSample(-1, out));
    EXPECT_FALSE(reader.readSample(2, out));
    reader.close();
    EXPECT_FALSE(reader.readRecords(1, 1, out)) << "closed";
}

TEST_F(WorkingFile, directoryOrMissingPathIsAnErrorNotACrash) {
    const QString missing = dir.filePath(QStringLiteral("no/such/dir/TEMP.MTX"));
    for (const QString& p : {dir.path(), missing}) {
        const Status created = writer.create(p, FileHeader{});
        EXPECT_FALSE(created) << p.toStdString();
        EXPECT_TRUE(created.message().contains(p));
        const float v[9] = {};
        EXPECT_FALSE(writer.appendSample(v));
        EXPECT_FALSE(writer.writeRecord(2, 1));
        MeasurementReader reader;
        const Status opened = reader.open(p);
        EXPECT_FALSE(opened);
        EXPECT_FALSE(opened.message().isEmpty());
    }
}

TEST(SampleCount, derivedFromTheLengthExactlyForLongRecordings) {
    // 24 h at 32 blocks/s and one more: the byte count is beyond what a float holds exactly.
    for (int64_t n : {0LL, 1LL, 1000LL, 2764800LL, 2764801LL, 9999999LL, 16777215LL})
        EXPECT_EQ(sampleCountFromLength(completeFileBytes(n)), static_cast<float>(n)) << n;
    EXPECT_FLOAT_EQ(sampleCountFromLength(144 + 4), 1.0f / 9.0f);
    EXPECT_FLOAT_EQ(sampleCountFromLength(48), -24.0f / 9.0f) << "header only";
}

// A start whose header cannot be written leaves no file that would stand in the way of the next one.
TEST_F(WorkingFile, aHeaderThatCannotBeWrittenLeavesNoFile) {
    for (const bool existedBefore : {false, true}) {
        if (existedBefore) write(3, true);
        RecordingFileSystem fs;
        fs.failAt(RecordingFileSystem::Op::Write, 1);
        WorkingFileWriter failing(fs);
        EXPECT_FALSE(failing.create(path, FileHeader{}).ok());
        EXPECT_FALSE(QFile::exists(path)) << (existedBefore ? "a file emptied by the start" : "a new file");
        EXPECT_TRUE(test::succeeded(writer.create(path, FileHeader{}))) << "the next start to the name";
        EXPECT_TRUE(test::succeeded(writer.close()));
        QFile::remove(path);
    }
}

// A new nameplate is read, written and dated through the file seam: any of those refused leaves the measurement
// as it was, its date too, with no copy beside it, and says why.
TEST_F(WorkingFile, aRefusedStepOfANewNameplateLeavesTheMeasurementIntact) {
    write(3, true);
    const QDateTime testDate(QDate(2024, 3, 5), QTime(8, 30));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(testDate, QFileDevice::FileModificationTime));
    }
    const QByteArray before = bytes();
    for (const auto op : {RecordingFileSystem::Op::Read, RecordingFileSystem::Op::Write,
                          RecordingFileSystem::Op::SetTime, RecordingFileSystem::Op::Rename}) {
        SCOPED_TRACE(static_cast<int>(op));
        RecordingFileSystem fs;
        fs.failAt(op, 1);
        const Status written = writeNameplate(path, {4, 11, 22, 90, 7, 0.4f, 380}, fs);
        EXPECT_FALSE(written.ok());
        EXPECT_TRUE(written.message().contains(QStringLiteral("No space left on device"))) << written.message().toStdString();
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(QFileInfo(path).lastModified(), testDate);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}
