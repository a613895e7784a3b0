// mervo-tool sample and export over measurement files written here: the JSON of one queried sample and one
// CSV row per sample.
#include <gtest/gtest.h>

#include <map>
#include <unistd.h>

#include <csignal>

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

#include "measurement/writer.h"
#include "export/csv_export.h"
#include "platform/files.h"
#include "end_to_end/process.h"
#include "support/status_matchers.h"

using namespace mervo;
using namespace mervo::test;

namespace {

const std::array<float, 7> kMotor = {4, 4, 8.5f, 80, 4, 0.2f, 380};  // no-load power 0.2 kW

class ToolAnalysis : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        d = dir.path().toStdString();
        setenv("MERVO_HOME", d.c_str(), 1);
    }

    // n samples over `totalTime` s; sample i: I1 = 10 + i A at 400 V and power(i) kW on channel 1.
    std::string measurement(int n, float start, float totalTime, bool motor,
                            std::function<float(int)> power = [](int) { return 2.0f; }) {
        const std::string path = d + "/m.MTQ";
        FileHeader h;
        h.StartTime = start;
        h.TotalTime = totalTime;
        if (motor) h.nameplate = kMotor;
        h.channels = {1, 1, 1};
        WorkingFileWriter w;
        EXPECT_TRUE(test::succeeded(w.create(QString::fromStdString(path), h)));
        std::array<float, 12> mx{}, mn{};
        mn.fill(1e9f);
        for (int i = 1; i <= n; ++i) {
            const float v[9] = {10.0f + i, 400, power(i), 0, 0, 0, 0, 0, 0};
            EXPECT_TRUE(w.appendSample(v));
            const float row[12] = {10.0f + i, 400, power(i), 0, 0, 0, 0, 0, 1, 0, 0, 0};
            for (int k = 0; k < 12; ++k) mx[k] = std::max(mx[k], row[k]), mn[k] = std::min(mn[k], row[k]);
        }
        EXPECT_TRUE(w.appendTrailer(mx, mn));
        EXPECT_TRUE(test::succeeded(w.close()));
        return path;
    }

    static void setModified(const std::string& file, const char* isoTime) {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::fromString(QString::fromLatin1(isoTime), Qt::ISODate),
                                  QFileDevice::FileModificationTime));
    }

    QJsonObject sample(const std::string& file, const std::string& no) {
        const ProcessResult r = run("mervo-tool", {"sample", file, no}, d);
        EXPECT_EQ(r.status, 0) << r.err;
        QJsonParseError pe{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &pe);
        EXPECT_EQ(pe.error, QJsonParseError::NoError) << r.out;
        return doc.object();
    }

    QTemporaryDir dir;
    std::string d;
};

TEST_F(ToolAnalysis, sampleShowsTheQueriedSampleAsThePanelDoes) {
    const std::string file = measurement(20, 36000, 40, true, [](int i) { return i == 7 ? -0.5f : 2.0f; });
    const QJsonObject j = sample(file, "5");
    const QStringList keys = {"no",        "elapsed",     "time",         "values",     "indicator",
                              "motor_state", "output_power", "efficiency", "load_rate"};
    for (const QString& k : keys) EXPECT_TRUE(j.contains(k)) << k.toStdString();
    EXPECT_EQ(j.size(), keys.size());
    EXPECT_EQ(j["no"].toInt(), 5);
    EXPECT_EQ(j["elapsed"].toDouble(), 10.0);  // 5 x 40 s / 20
    const QJsonArray time = j["time"].toArray();
    ASSERT_EQ(time.size(), 4);
    const double hmsCs[4] = {0, 0, 10, 0};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(time[k].toDouble(), hmsCs[k]) << k;
    const QJsonArray v = j["values"].toArray();
    ASSERT_EQ(v.size(), 12);
    EXPECT_EQ(v[0].toDouble(), 15.0);
    EXPECT_EQ(v[1].toDouble(), 400.0);
    EXPECT_EQ(v[2].toDouble(), 2.0);
    EXPECT_GT(v[8].toDouble(), 0.0);
    EXPECT_EQ(j["indicator"].toString(), QStringLiteral("C"));
    EXPECT_EQ(j["motor_state"].toString(), QStringLiteral("电动机运行数据"));
    EXPECT_GT(j["efficiency"].toDouble(), 0.0);
    EXPECT_GT(j["load_rate"].toDouble(), 0.0);
    EXPECT_GT(j["output_power"].toDouble(), 0.0);

    // A generating sample leaves the motor boxes empty: no values.
    const QJsonObject g = sample(file, "7");
    EXPECT_EQ(g["motor_state"].toString(), QStringLiteral("电动机处于发电状态"));
    for (const char* k : {"output_power", "efficiency", "load_rate"}) EXPECT_TRUE(g[k].isNull()) << k;
    EXPECT_EQ(g["values"].toArray()[2].toDouble(), -0.5);
}

TEST_F(ToolAnalysis, sampleWithoutMotorDataLeavesTheMotorValuesOut) {
    const QJsonObject j = sample(measurement(3, 0, 3, false), "3");
    EXPECT_EQ(j["motor_state"].toString(), QStringLiteral("无电机参数或参数不全"));
    for (const char* k : {"output_power", "efficiency", "load_rate"}) EXPECT_TRUE(j[k].isNull()) << k;
}

TEST_F(ToolAnalysis, sampleRefusesRecordsTheMeasurementDoesNotHold) {
    const std::string file = measurement(20, 0, 20, true);
    for (const char* no : {"0", "-1", "21", "1e3", "99999999999999999999"}) {
        const ProcessResult r = run("mervo-tool", {"sample", file, no}, d);
        EXPECT_EQ(r.status, 1) << no;
        EXPECT_EQ(r.err.rfind("mervo-tool: sample: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty()) << no;
    }
    for (const char* no : {"abc", "3.5"}) EXPECT_EQ(run("mervo-tool", {"sample", file, no}, d).status, 2) << no;
}

TEST_F(ToolAnalysis, exportWritesOneRowPerSampleWithTheDateAndClockPastMidnight) {
    // Starting 1 s before midnight, 0.2 s per sample; saved at noon on 1 March.
    const std::string file = measurement(50, 86399, 10, true, [](int i) { return i == 3 ? -0.5f : 2.0f; });
    setModified(file, "2024-03-01T12:00:00");
    const ProcessResult r = run("mervo-tool", {"export", file}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    const QStringList lines = QString::fromStdString(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 51);
    EXPECT_EQ(lines[0], QStringLiteral("no,date,clock,time(s),I1(A),U1(V),P1(kW),I2(A),U2(V),P2(kW),I3(A),U3(V),P3(kW),"
                                       "P_total(kW),Q_total(kvar;+L/-C),S(kVA),PF,indicator,Ep(Wh),Eq(varh),motor_state,"
                                       "P_out(kW),efficiency(%),load_rate(%),marker"));
    for (int i = 1; i <= 50; ++i) {
        const QStringList f = lines[i].split(QLatin1Char(','));
        ASSERT_EQ(f.size(), 25) << lines[i].toStdString();
        EXPECT_EQ(f[0].toInt(), i);
        EXPECT_EQ(f[4].toFloat(), 10.0f + i);  // I1 as a magnitude
    }
    // The leap day before the day of the file's last sample.
    const auto dateAndClock = [&](int row) { return lines[row].section(QLatin1Char(','), 1, 2); };
    EXPECT_EQ(dateAndClock(1), QStringLiteral("2024-02-29,23:59:59.20"));
    EXPECT_EQ(dateAndClock(4), QStringLiteral("2024-02-29,23:59:59.80"));
    EXPECT_EQ(dateAndClock(5), QStringLiteral("2024-03-01,00:00:00.00"));
    EXPECT_EQ(dateAndClock(50), QStringLiteral("2024-03-01,00:00:09.00"));
    const QStringList generating = lines[3].split(QLatin1Char(','));
    EXPECT_EQ(generating[20], QStringLiteral("电动机处于发电状态"));
    EXPECT_EQ(generating.mid(21), (QStringList{"", "", "", ""}));  // no outputs, no marker
    const QStringList running = lines[4].split(QLatin1Char(','));
    EXPECT_EQ(running[20], QStringLiteral("电动机运行数据"));
    EXPECT_FALSE(running[22].isEmpty());

    // To a file: the same bytes.
    const std::string out = d + "/out.csv";
    const ProcessResult toFile = run("mervo-tool", {"export", file, "-o", out}, d);
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_TRUE(toFile.out.empty());
    EXPECT_EQ(readFile(out), r.out);
}

// Long enough for rows to be worked out ahead and written in batches on several threads: every row once, in
// order, with its own sample's numbers.
TEST_F(ToolAnalysis, aLongExportHasEverySampleOnceInOrder) {
    constexpr int kSamples = 40000;
    const auto power = [](int i) { return static_cast<float>(i % 7 - 1); };  // -1 (generating) to 5 kW
    const std::string file = measurement(kSamples, 0, kSamples / 32.0f, true, power);
    // Markers on either side of a batch's edge and at the ends.
    const std::map<int, QString> markers = {{1, "a"}, {16384, "b"}, {16385, "c"}, {32768, "d"}, {kSamples, "e"}};
    for (const auto& [sample, text] : markers)
        ASSERT_EQ(run("mervo-tool", {"marker", file, "--at", std::to_string(sample), "--text", text.toStdString()}, d).status, 0);
    const std::string out = d + "/long.csv";
    const ProcessResult r = run("mervo-tool", {"export", file, "-o", out}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    const QStringList lines = QString::fromStdString(readFile(out)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), kSamples + 1);
    for (int i = 1; i <= kSamples; ++i) {
        const QStringList f = lines[i].split(QLatin1Char(','));
        ASSERT_EQ(f.size(), 25) << i;
        ASSERT_EQ(f[24], markers.count(i) ? markers.at(i) : QString()) << i;
        ASSERT_EQ(f[0].toInt(), i);
        ASSERT_EQ(f[3].toFloat(), i / 32.0f) << i;
        ASSERT_EQ(f[4].toFloat(), 10.0f + i) << i;
        ASSERT_EQ(f[13].toFloat(), power(i)) << i;  // channel 1 alone, well within its apparent power
        ASSERT_EQ(f[20] == QStringLiteral("电动机处于发电状态"), power(i) < 0) << i;
    }
}

// Intervals, ranges and the spreadsheet form, worked out by hand: 0.2 s per sample from 1 s before midnight,
// I1 = 10 + i A.
TEST_F(ToolAnalysis, exportAveragesIntervalsOverARangeAndWritesForSpreadsheets) {
    const std::string file = measurement(50, 86399, 10, true);
    setModified(file, "2024-03-01T12:00:00");
    const struct {
        std::vector<std::string> options;
        int status;
        int fields;  // compared of each row
        QStringList rows;
    } cases[] = {
        {{"--interval", "1", "--from", "3", "--to", "12", "--excel"}, 0, 9,
         {"3,5,3,2024-02-29,23:59:59.00,0,14,13,15", "6,10,5,2024-03-01,00:00:00.00,1,18,16,20",
          "11,12,2,2024-03-01,00:00:01.00,2,21.5,21,22"}},
        {{"--interval", "10"}, 0, 9, {"1,50,50,2024-02-29,23:59:59.00,0,35.5,11,60"}},
        {{"--from", "49"}, 0, 5, {"49,2024-03-01,00:00:08.80,9.8,59", "50,2024-03-01,00:00:09.00,10,60"}},
        {{"--to", "51"}, 1, 0, {}},
        {{"--from", "0"}, 2, 0, {}},
        {{"--interval", "0"}, 2, 0, {}},
        {{"--interval", "1e-300"}, 1, 0, {}},  // shorter than any row could be told apart by
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"export", file};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProcessResult r = run("mervo-tool", args, d);
        EXPECT_EQ(r.status, c.status) << c.options[0] << " " << r.err;
        if (c.status != 0) continue;
        const bool excel = c.options.back() == "--excel";
        EXPECT_EQ(r.out.rfind("\xEF\xBB\xBF", 0) == 0, excel);
        QStringList lines = QString::fromStdString(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (QString& line : lines) {
            EXPECT_EQ(line.endsWith(QLatin1Char('\r')), excel) << line.toStdString();
            line = line.section(QLatin1Char(','), 0, c.fields - 1);
        }
        ASSERT_EQ(lines.size(), c.rows.size() + 1) << r.out;
        EXPECT_EQ(lines.mid(1), c.rows) << c.options[0];
    }
}

// A receive that lost its instrument for 90 s after sample 2: four samples of 1 s each from 10:00:00, so the
// samples were taken at 10:00:01, 10:00:02, 10:01:33 and 10:01:34. The energies count the 4 s the samples cover
// (2 kW over 4 s is 2.2222 Wh). A sidecar of another recording (another start time) is left out; one that is no
// sidecar is said, and the times are those without gaps.
TEST_F(ToolAnalysis, aGapInTheReceiveMovesOnTheTimesOfTheSamplesAfterIt) {
    const std::string file = measurement(4, 36000, 4, false);
    setModified(file, "2024-05-17T11:00:00");
    const auto sidecar = [&](const char* text) {
        QFile f(QString::fromStdString(file + ".side"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    };
    const auto csvRows = [&](std::vector<std::string> options, int fields) {
        std::vector<std::string> args = {"export", file};
        args.insert(args.end(), options.begin(), options.end());
        const ProcessResult r = run("mervo-tool", args, d);
        EXPECT_EQ(r.status, 0) << r.err;
        QStringList lines = QString::fromStdString(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
        for (QString& line : lines) line = line.section(QLatin1Char(','), 0, fields - 1);
        return lines;
    };
    sidecar(R"({"start_time": 36000, "gaps": [{"after_sample": 2, "seconds": 90}], "markers": []})");

    EXPECT_EQ(csvRows({}, 4), (QStringList{"1,2024-05-17,10:00:01.00,1", "2,2024-05-17,10:00:02.00,2",
                                         "3,2024-05-17,10:01:33.00,93", "4,2024-05-17,10:01:34.00,94"}));
    EXPECT_EQ(csvRows({"--interval", "60"}, 5),
              (QStringList{"1,2,2,2024-05-17,10:00:00.00", "3,4,2,2024-05-17,10:01:00.00"}));
    const QJsonObject third = sample(file, "3");
    EXPECT_EQ(third["elapsed"].toDouble(), 93.0);
    EXPECT_EQ(third["time"].toArray(), (QJsonArray{0, 1, 33, 0}));
    EXPECT_NEAR(sample(file, "4")["values"].toArray()[10].toDouble(), 2.2222, 1e-4);
    ProcessResult info = run("mervo-tool", {"info", file}, d);
    EXPECT_NE(info.out.find(R"("gaps":[{"after_sample":2,"seconds":90}],"markers":[])"), std::string::npos) << info.out;

    sidecar(R"({"start_time": 7200, "gaps": [{"after_sample": 2, "seconds": 90}], "markers": []})");
    EXPECT_EQ(csvRows({"--from", "3", "--to", "3"}, 4), (QStringList{"3,2024-05-17,10:00:03.00,3"}));
    sidecar(R"({"start_time": 36000, "gaps": [{"after_sample": -2, "seconds": 90}]})");
    info = run("mervo-tool", {"info", file}, d);
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find(R"("gaps":null,"markers":null)"), std::string::npos) << info.out;
    EXPECT_NE(info.err.find("m.MTQ.side"), std::string::npos) << info.err;
    const ProcessResult exported = run("mervo-tool", {"export", file, "--from", "3", "--to", "3"}, d);
    EXPECT_NE(exported.err.find("m.MTQ.side"), std::string::npos) << exported.err;
    EXPECT_NE(exported.out.find("3,2024-05-17,10:00:03.00,3,"), std::string::npos) << exported.out;
}

// Cancelled, an export leaves the file it would have replaced as it was and nothing beside it.
TEST_F(ToolAnalysis, aCancelledExportLeavesNoPartialFile) {
    const QString file = QString::fromStdString(measurement(20, 0, 20, true));
    const QString out = QString::fromStdString(d + "/out.csv");
    QFile old(out);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    const Status s = exportCsv(file, out, CsvExportOptions{}, [](int64_t, int64_t) { return false; });
    EXPECT_TRUE(exportCancelled(s));
    EXPECT_EQ(readFile(out.toStdString()), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"m.MTQ", "out.csv"}));
}

// A nameplate written into a measurement recorded without one: records 3 to 9 replaced, every other byte and
// the modification time (the printout's test date) kept, and the analysis then works the motor out.
TEST_F(ToolAnalysis, nameplateWritesTheMotorIntoTheMeasurementAndNothingElse) {
    const std::string file = measurement(20, 36000, 40, false);
    setModified(file, "2024-03-01T12:00:00");
    const QByteArray before = QByteArray::fromStdString(readFile(file));
    const QDateTime modified = QFileInfo(QString::fromStdString(file)).lastModified();
    EXPECT_EQ(sample(file, "5")["motor_state"].toString(), QStringLiteral("无电机参数或参数不全"));

    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"nameplate", file},
                                                  {"nameplate", file, "--nameplate", "4,4,8.5", "--motor", "1"},
                                                  {"nameplate", file, "--nameplate", "4,4,8.5,80,4,0.2"}})
        EXPECT_EQ(run("mervo-tool", wrong, d).status, 2) << wrong.size();
    {
        // A receive recording the file holds its lock: refused, the file as it was.
        Result<WriterLock> lock = WriterLock::take(QString::fromStdString(file));
        ASSERT_TRUE(lock.ok());
        EXPECT_EQ(run("mervo-tool", {"nameplate", file, "--nameplate", "4,4,8.5,80,4,0.2,380"}, d).status, 1);
        EXPECT_EQ(QByteArray::fromStdString(readFile(file)), before);
    }
    const ProcessResult r = run("mervo-tool", {"nameplate", file, "--nameplate", "4,4,8.5,80,4,0.2,380"}, d);
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject info = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(info["nameplate"].toArray(), (QJsonArray{4, 4, 8.5, 80, 4, 0.2, 380}));
    const QByteArray after = QByteArray::fromStdString(readFile(file));
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.left(8), before.left(8));
    EXPECT_EQ(after.mid(36), before.mid(36));
    EXPECT_EQ(QFileInfo(QString::fromStdString(file)).lastModified(), modified);
    EXPECT_EQ(sample(file, "5")["motor_state"].toString(), QStringLiteral("电动机运行数据"));
}

// Markers set and removed from the command line, as info lists them after each step: a number outside the file,
// a missing text and a file being recorded are refused with the markers as they were; a recovery keeps them.
TEST_F(ToolAnalysis, markersAreSetAndRemovedAndSurviveARecovery) {
    const std::string file = measurement(4, 36000, 4, false);
    const auto markers = [&] {
        const ProcessResult r = run("mervo-tool", {"info", file}, d);
        EXPECT_EQ(r.status, 0) << r.err;
        const size_t at = r.out.find("\"markers\":");
        return at == std::string::npos ? r.out : r.out.substr(at, r.out.find_last_not_of('\n') + 1 - at);
    };
    const struct {
        std::vector<std::string> args;
        int status;
        const char* markers;
    } steps[] = {
        {{"--at", "2", "--text", "=泵启动"}, 0, R"("markers":[{"sample":2,"text":"=泵启动"}]})"},
        {{"--at", "4", "--text", "阀门"}, 0, R"("markers":[{"sample":2,"text":"=泵启动"},{"sample":4,"text":"阀门"}]})"},
        {{"--at", "1", "--text", "首"}, 0,
         R"("markers":[{"sample":1,"text":"首"},{"sample":2,"text":"=泵启动"},{"sample":4,"text":"阀门"}]})"},
        {{"--at", "4", "--text", "阀门全开"}, 0,
         R"("markers":[{"sample":1,"text":"首"},{"sample":2,"text":"=泵启动"},{"sample":4,"text":"阀门全开"}]})"},
        {{"--delete", "1"}, 0, R"("markers":[{"sample":2,"text":"=泵启动"},{"sample":4,"text":"阀门全开"}]})"},
        {{"--at", "5", "--text", "x"}, 1, R"("markers":[{"sample":2,"text":"=泵启动"},{"sample":4,"text":"阀门全开"}]})"},
        {{"--at", "0", "--text", "x"}, 1, R"("markers":[{"sample":2,"text":"=泵启动"},{"sample":4,"text":"阀门全开"}]})"},
        {{"--delete", "3"}, 1, R"("markers":[{"sample":2,"text":"=泵启动"},{"sample":4,"text":"阀门全开"}]})"},
        {{"--at", "3"}, 2, R"("markers":[{"sample":2,"text":"=泵启动"},{"sample":4,"text":"阀门全开"}]})"},
        {{"--at", "3", "--text", "x", "--delete", "2"}, 2,
         R"("markers":[{"sample":2,"text":"=泵启动"},{"sample":4,"text":"阀门全开"}]})"},
    };
    for (const auto& step : steps) {
        std::vector<std::string> args = {"marker", file};
        args.insert(args.end(), step.args.begin(), step.args.end());
        const ProcessResult r = run("mervo-tool", args, d);
        EXPECT_EQ(r.status, step.status) << step.args[0] << " " << step.args[1] << ": " << r.err;
        EXPECT_EQ(markers(), step.markers) << step.args[0] << " " << step.args[1];
    }
    const std::string kept = steps[std::size(steps) - 1].markers;
    {
        // A receive recording the file holds its lock: refused.
        Result<WriterLock> lock = WriterLock::take(QString::fromStdString(file));
        ASSERT_TRUE(lock.ok());
        EXPECT_EQ(run("mervo-tool", {"marker", file, "--delete", "2"}, d).status, 1);
    }
    const QByteArray whole = QByteArray::fromStdString(readFile(file));
    {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(whole.left(whole.size() - 24 * 4));  // the trailer cut off, as a killed receive leaves it
    }
    ASSERT_EQ(run("mervo-tool", {"recover", file}, d).status, 0);
    EXPECT_EQ(markers(), kept);
}

TEST_F(ToolAnalysis, helpAndVersionAnswerOnStandardOutput) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* starts;
    } cases[] = {
        {{"receive", "--help"}, 0, "usage: mervo-tool receive --port DEV"},
        {{"help", "export"}, 0, "usage: mervo-tool export FILE"},
        {{"table", "-h"}, 0, "usage: mervo-tool table FILE"},
        {{"--version"}, 0, "mervo-tool 6.18\n"},
        {{"help", "launch"}, 2, ""},
    };
    for (const auto& c : cases) {
        const ProcessResult r = run("mervo-tool", c.args, d);
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_EQ(r.out.rfind(c.starts, 0), 0u) << r.out;
    }
}

// Under its own name, through a link or a hard link: no command writes its output over the measurement it reads.
TEST_F(ToolAnalysis, noCommandWritesItsOutputOverTheMeasurementItself) {
    const std::string file = measurement(5, 0, 5, true);
    const std::string before = readFile(file);
    ASSERT_EQ(::symlink(file.c_str(), (d + "/link.MTQ").c_str()), 0);
    ASSERT_EQ(::link(file.c_str(), (d + "/hard.MTQ").c_str()), 0);
    for (const char* command : {"export", "report", "table"})
        for (const std::string& out : {file, d + "/link.MTQ", d + "/hard.MTQ", d + "/./m.MTQ"}) {
            const ProcessResult r = run("mervo-tool", {command, file, "-o", out}, d);
            EXPECT_EQ(r.status, 2) << command << " -o " << out;
            EXPECT_NE(r.err.find("would replace the measurement"), std::string::npos) << r.err;
            EXPECT_EQ(readFile(file), before) << command << " -o " << out;
        }
}

TEST_F(ToolAnalysis, exportOfAFileThatCannotBeAnalysedFailsWithoutOutput) {
    const std::string path = d + "/short.MTQ";
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(20, '\0'));
    f.close();
    const ProcessResult r = run("mervo-tool", {"export", path, "-o", d + "/x.csv"}, d);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(d + "/x.csv")));
}

TEST_F(ToolAnalysis, anInterruptedRecordingIsNamedWithTheCommandThatFinishesIt) {
    const std::string file = measurement(20, 0, 20, true);
    const struct {
        int64_t bytes;
        int status;
    } cuts[] = {{48 + 12 * 36, 0}, {48 + 12 * 36 + 10, 1}};
    for (const auto& c : cuts) {
        ASSERT_EQ(::truncate(file.c_str(), c.bytes), 0);
        const ProcessResult r = run("mervo-tool", {"analyze", file}, d);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find("mervo-tool recover " + file), std::string::npos) << r.err;
        EXPECT_EQ(r.out.empty(), c.status != 0);
    }
}

TEST_F(ToolAnalysis, everyCommandRefusesAFileOfAnotherKindAndLeavesItAlone) {
    // Text the length of a complete measurement of three samples, the same text cut mid-sample, which by its
    // length alone looks like an interrupted recording, and binary bytes of a complete length.
    const QByteArray text = QByteArray("lorem ipsum dolor sit amet ").repeated(20);
    const QByteArray contents[] = {text.left(48 + 3 * 36 + 96), text.left(48 + 3 * 36 + 7),
                                   QByteArray(48 + 3 * 36 + 96, '\xa5')};
    for (const QByteArray& content : contents) {
        const int bytes = static_cast<int>(content.size());
        const std::string path = d + "/text.MTQ";
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        const std::vector<std::vector<std::string>> commands = {
            {"info", path},
            {"analyze", path},
            {"sample", path, "1"},
            {"export", path, "-o", d + "/out.csv"},
            {"report", path, "-o", d + "/out.pdf"},
            {"table", path, "-o", d + "/out.pdf"},
            {"recover", path},
        };
        for (const auto& args : commands) {
            SCOPED_TRACE(args[0] + " of " + std::to_string(bytes) + " bytes beginning " + content.left(4).toHex().toStdString());
            const ProcessResult r = run("mervo-tool", args, d);
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(r.out.empty()) << r.out;
            EXPECT_NE(r.err.find("不是测量数据文件"), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("mervo-tool: " + args[0] + ": "), r.err.rfind("\n", r.err.size() - 2) + 1)
                << "one line, last on stderr: " << r.err;
            EXPECT_EQ(readFile(path), content.toStdString());
            EXPECT_FALSE(QFile::exists(QString::fromStdString(d + "/out.csv")));
            EXPECT_FALSE(QFile::exists(QString::fromStdString(d + "/out.pdf")));
        }
    }
}

// Things that are no measurement file at all: a FIFO (which would block a plain open for ever), a folder and a
// link to nothing. Every command refuses each at once with one line.
TEST_F(ToolAnalysis, everyCommandRefusesWhatIsNoFileAtOnce) {
    const std::string fifo = d + "/fifo.MTQ", folder = d + "/folder.MTQ", dangling = d + "/dangling.MTQ";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_TRUE(QDir().mkdir(QString::fromStdString(folder)));
    ASSERT_EQ(::symlink((d + "/gone.MTQ").c_str(), dangling.c_str()), 0);
    for (const std::string& path : {fifo, folder, dangling}) {
        const std::vector<std::vector<std::string>> commands = {
            {"info", path},   {"analyze", path}, {"sample", path, "1"}, {"export", path, "-o", d + "/out.csv"},
            {"report", path, "-o", d + "/out.pdf"}, {"table", path, "-o", d + "/out.pdf"}, {"recover", path},
        };
        for (const auto& args : commands) {
            SCOPED_TRACE(args[0] + " " + path);
            const ProcessResult r = run("mervo-tool", args, d, 10);
            EXPECT_EQ(r.status, 1) << "-1 is a hang";
            EXPECT_TRUE(r.out.empty()) << r.out;
            EXPECT_EQ(r.err.find("mervo-tool: " + args[0] + ": "), r.err.rfind("\n", r.err.size() - 2) + 1) << r.err;
        }
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(d + "/out.csv")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(d + "/out.pdf")));
}

// Output that cannot be written is a failure, not a success with nothing to show.
TEST_F(ToolAnalysis, aStandardOutputThatCannotBeWrittenFails) {
    const std::string file = measurement(5, 0, 5, true);
    const std::vector<std::vector<std::string>> commands = {
        {"info", file}, {"analyze", file}, {"sample", file, "1"}, {"export", file}, {"recover", file},
        {"motor", "1", "--dir", MERVO_DATA_DIR},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        Child c = spawn("mervo-tool", args, "/dev/full", d + "/err.txt");
        EXPECT_EQ(waitExit(c, 30), 1);
        EXPECT_NE(readFile(d + "/err.txt").find("write failed"), std::string::npos) << readFile(d + "/err.txt");
    }
    // An export whose first batches are refused while the pass still has rows to hand over stops there.
    Child c = spawn("mervo-tool", {"export", measurement(70000, 0, 70000, true)}, "/dev/full", d + "/err.txt");
    EXPECT_EQ(waitExit(c, 30), 1) << "-1 is a hang";
}

// Ctrl-C while a long table prints stops it between pages and leaves no PDF, whole or partial, behind.
TEST_F(ToolAnalysis, tableStoppedByASignalLeavesNoPdf) {
    const std::string file = measurement(60000, 0, 60000, true);
    Child c = spawn("mervo-tool", {"table", file, "-o", d + "/t.pdf"}, d + "/out.txt", d + "/err.txt");
    const std::string first = waitFirstLine(d + "/err.txt", 30);
    EXPECT_EQ(first, "table: 924 pages for rows 1 to 60000");  // (60000 - 60) / 65 + 2
    ASSERT_EQ(::kill(c.pid, SIGINT), 0);
    EXPECT_EQ(waitExit(c, 60), 1);
    const std::string err = readFile(d + "/err.txt");
    EXPECT_NE(err.find("mervo-tool: table: stopped; " + d + "/t.pdf was not written"), std::string::npos) << err;
    EXPECT_EQ(QDir(QString::fromStdString(d)).entryList(QDir::Files | QDir::Hidden), QStringList({"err.txt", "m.MTQ", "out.txt"}))
        << "no partial PDF";
}

// assess -o prints the report beside the JSON, its verdict the one of the JSON (the committed measurement, worked
// by hand in tests/windows/test_assessment_window.cpp); a PDF that cannot be written fails with one line and leaves
// nothing, and no JSON, behind.
TEST_F(ToolAnalysis, assessPrintsTheReportWithTheVerdictOrNothing) {
    const std::string file = MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ";
    const QString verdict = QStringLiteral("经济运行：综合效率 80.3 %，不低于额定综合效率 78.7 %；平均负载率 50 %（综合经济负载率 59 %）");
    const auto bare = [](QString t) { return t.remove(QRegularExpression(QStringLiteral("\\s"))); };
    const struct {
        std::string output;
        int status;
    } cases[] = {{d + "/no/such/dir/a.pdf", 1}, {d + "/a.pdf", 0}};  // the failure first, with no PDF yet beside it
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const ProcessResult r = run("mervo-tool", {"assess", file, "-o", c.output}, d);
        ASSERT_EQ(r.status, c.status) << r.err;
        if (c.status != 0) {
            EXPECT_TRUE(r.out.empty()) << r.out;
            EXPECT_EQ(r.err.find("mervo-tool: assess: " + c.output), 0u) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_TRUE(QDir(QString::fromStdString(d)).entryList({QStringLiteral("*.pdf*")}, QDir::Files | QDir::Hidden).isEmpty());
            continue;
        }
        const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
        EXPECT_EQ(json.value(QStringLiteral("verdict")).toString(), verdict);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QString::fromStdString(c.output), QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(60000));
        const QString t = QString::fromUtf8(text.readAllStandardOutput());
        EXPECT_TRUE(bare(t).contains(bare(verdict))) << t.toStdString();
    }
}

// The report lists the markers within its span only, and shortens a long path in its middle; --compare prints the
// two assessments side by side: the committed measurement whole (its verdict as above) after the change, its
// generating samples 9-12 before it (no steady running: 4 s generating). Per hour the input energy goes from
// -6 kW·4 s = -6 kWh/h to 0.003583 kWh in 12 s = 1.075 kWh/h: +7.075.
TEST_F(ToolAnalysis, assessListsMarkersOfItsSpanAndPrintsBeforeAndAfterSideBySide) {
    const QString folder = QString::fromStdString(d) + QStringLiteral("/a_folder_name_long_enough_to_need_shortening_on_an_a4_page_of_the_report");
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::string file = (folder + QStringLiteral("/m.MTQ")).toStdString();
    ASSERT_TRUE(QFile::copy(QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ"), QString::fromStdString(file)));
    for (const auto& [at, text] : {std::make_pair("3", "泵启动"), std::make_pair("10", "阀门关闭")})
        ASSERT_EQ(run("mervo-tool", {"marker", file, "--at", at, "--text", text}, d).status, 0);
    const std::string before = d + "/before.MTQ";
    for (const char* suffix : {"", ".side"})
        ASSERT_TRUE(QFile::copy(QString::fromStdString(file + suffix), QString::fromStdString(before + suffix)));
    const QString verdict = QStringLiteral("经济运行：综合效率 80.3 %，不低于额定综合效率 78.7 %；平均负载率 50 %（综合经济负载率 59 %）");
    const QString idle = QStringLiteral("电动机在此区间没有稳定运行的数据（起动 0.0 s，低于空载 0.0 s，发电 4.0 s），不作能效判定");
    const auto bare = [](QString t) { return t.remove(QRegularExpression(QStringLiteral("\\s"))); };
    const struct {
        std::vector<std::string> args;
        QStringList has, hasNot;
    } cases[] = {
        {{"--from", "1", "--to", "6"}, {QStringLiteral("第3组泵启动"), QStringLiteral("…"), QStringLiteral("/m.MTQ")},
         {QStringLiteral("阀门关闭")}},
        {{"--compare", before, "--compare-from", "9", "--compare-to", "12"},
         {QStringLiteral("改造前结论：") + idle, QStringLiteral("改造后结论：") + verdict, QStringLiteral("+7.075"),
          QStringLiteral("改造前标记：第10组阀门关闭"), QStringLiteral("改造后标记：第3组泵启动；第10组阀门关闭")},
         {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"assess", file, "-o", d + "/a.pdf"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = run("mervo-tool", args, d);
        ASSERT_EQ(r.status, 0) << r.err;
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QString::fromStdString(d + "/a.pdf"), QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(60000));
        const QString t = bare(QString::fromUtf8(text.readAllStandardOutput()));
        for (const QString& h : c.has) EXPECT_TRUE(t.contains(bare(h))) << h.toStdString() << "\n" << t.toStdString();
        for (const QString& h : c.hasNot) EXPECT_FALSE(t.contains(bare(h))) << h.toStdString();
    }
}

}  // namespace

// A command on a measurement first sweeps away what killed writers left beside it.
TEST_F(ToolAnalysis, aCommandSweepsWhatKilledWritersLeftBesideTheMeasurement) {
    const std::string file = measurement(5, 0, 5, true);
    const QString leftover = QString::fromStdString(d + "/.m.MTQ.part-Ab12Cd");
    QFile f(leftover);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(run("mervo-tool", {"info", file}, d).status, 0);
    EXPECT_FALSE(QFile::exists(leftover));
}
