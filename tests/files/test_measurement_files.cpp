// Open, Save, Save As and Close without a window: dialogs asked, files copied, states and messages.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "measurement/nameplate_rewrite.h"
#include "measurement/recovery.h"
#include "measurement/sidecar.h"
#include "measurement/writer.h"
#include "files/measurement_files.h"
#include "platform/fake/scripted_dialogs.h"
#include "platform/program_dir.h"
#include "support/status_matchers.h"
#include "support/control_table.h"

using namespace mervo;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& b) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(b);
}

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        st.file.WorkFile = workFilePath(dir.path());
    }
    QString path(const char* n) const { return dir.filePath(QString::fromUtf8(n)); }
    // A measurement with its three channel flags.
    void measurement(const char* name, std::array<int16_t, 3> channels) {
        WorkingFileWriter w;
        FileHeader h;
        h.nameplate = {2, 7.5f, 15, 88, 5, 0.3f, 380};
        h.channels = channels;
        ASSERT_TRUE(w.create(path(name), h));
        const float s[9] = {1, 220, 0.2f, 1, 220, 0.2f, 1, 220, 0.2f};
        EXPECT_TRUE(test::succeeded(w.appendSample(s)));
        EXPECT_TRUE(test::succeeded(w.appendTrailer({}, {})));
    }

    QTemporaryDir dir;
    SharedState st;
    ScriptedFileDialogs dialogs;
    ScriptedMessageBoxes messages;
    MeasurementFiles files{st, dialogs, messages, dir.path()};
};

TEST_F(Files, dialogsAreAskedWithTheirTitlesFilterAndOverwriteRule) {
    files.open();
    files.save();
    st.file.WorkFile = path("x.MTQ");
    files.saveAs();
    ASSERT_EQ(dialogs.asked.size(), 3u);
    const char* titles[3] = {"打开", "保存", "另存为"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dialogs.asked[i].title, QString::fromUtf8(titles[i]));
        EXPECT_EQ(dialogs.asked[i].filter, QStringLiteral("电能综合测试(*.MTQ)"));
        EXPECT_EQ(dialogs.asked[i].defaultSuffix, QStringLiteral("MTQ"));
    }
    EXPECT_TRUE(dialogs.asked[0].mustExist);
    EXPECT_FALSE(dialogs.asked[0].confirmOverwrite);
    EXPECT_TRUE(dialogs.asked[1].confirmOverwrite);
    EXPECT_TRUE(dialogs.asked[2].confirmOverwrite);
}

TEST_F(Files, saveReplacesAnExistingFileWithAnExactCopy) {
    measurement("TEMP.MTX", {1, 1, 1});
    writeBytes(path("old.MTQ"), QByteArray(5000, 'x'));
    dialogs.answers = {path("old.MTQ")};
    const FileOpResult r = files.save();
    EXPECT_EQ(bytesOf(path("old.MTQ")), bytesOf(path("TEMP.MTX")));
    EXPECT_EQ(st.file.WorkFile, path("old.MTQ"));
    EXPECT_EQ(r.caption, QStringLiteral("电能综合测试仪[%1]").arg(path("old.MTQ")));
    EXPECT_EQ(r.controls, test::controls("1110 -- -11011"));
}

TEST_F(Files, cancellingSaveKeepsTheMeasurementSaveable) {
    measurement("TEMP.MTX", {1, 1, 1});
    EXPECT_EQ(files.save().controls, ControlStates{});
    EXPECT_EQ(st.file.WorkFile, workFilePath(dir.path())) << "Cancel must not forget the file";
    dialogs.answers = {path("later.MTQ")};
    files.save();
    EXPECT_EQ(bytesOf(path("later.MTQ")), bytesOf(path("TEMP.MTX")));
}

TEST_F(Files, savingWithNoFileChosenCopiesTheWorkingFile) {
    measurement("TEMP.MTX", {1, 1, 1});
    files.open();  // cancelled: no file chosen
    EXPECT_TRUE(st.file.WorkFile.isEmpty());
    dialogs.answers = {path("a.MTQ")};
    files.save();
    EXPECT_EQ(bytesOf(path("a.MTQ")), bytesOf(path("TEMP.MTX")));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Files, savingBeforeAnyMeasurementSaysWhatToDo) {
    dialogs.answers = {path("a.MTQ")};
    files.save();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("请先按[接收数据]按钮，或先打开一个文件。"));
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("操作错误警告！！！"));
    EXPECT_FALSE(QFile::exists(path("a.MTQ")));
}

TEST_F(Files, savingOntoTheOpenFileKeepsIt) {
    measurement("m.MTQ", {1, 0, 1});
    const QByteArray before = bytesOf(path("m.MTQ"));
    st.file.WorkFile = path("m.MTQ");
    dialogs.answers = {path("m.MTQ")};
    files.save();
    EXPECT_EQ(bytesOf(path("m.MTQ")), before);
    dialogs.answers = {path("m.MTQ")};
    files.saveAs();
    EXPECT_EQ(bytesOf(path("m.MTQ")), before);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Files, aCopyThatCannotBeWrittenSaysSoAndKeepsTheCurrentFile) {
    measurement("TEMP.MTX", {1, 1, 1});
    dialogs.answers = {path("no/such/dir/a.MTQ")};
    const FileOpResult r = files.save();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("文件保存失败！")));
    EXPECT_EQ(st.file.WorkFile, workFilePath(dir.path()));
    EXPECT_TRUE(r.caption.isEmpty());
}

// The gaps and markers beside a measurement go wherever it goes: Save, Save As, a recovery and a new nameplate
// keep them, and a copy of a measurement without any takes away those of the file it replaces.
TEST_F(Files, theSidecarGoesWithTheMeasurement) {
    measurement("TEMP.MTX", {1, 1, 1});
    writeBytes(path("TEMP.MTX.side"),
               R"({"start_time": 0, "gaps": [{"after_sample": 1, "seconds": 12.5}], "markers": [{"sample": 1, "text": "泵启动"}]})");
    const auto sidecarOf = [&](const char* name) {
        const Result<Sidecar> s = readSidecar(path(name), 0);
        EXPECT_TRUE(test::succeeded(s.status())) << name;
        return s ? *s : Sidecar{};
    };
    const struct {
        const char* what;
        std::function<void()> act;
        const char* result;
        bool kept;
    } steps[] = {
        {"save", [&] { dialogs.answers = {path("a.MTQ")}; files.save(); }, "a.MTQ", true},
        {"save as", [&] { dialogs.answers = {path("b.MTQ")}; files.saveAs(); }, "b.MTQ", true},
        {"nameplate", [&] { EXPECT_TRUE(test::succeeded(writeNameplate(path("b.MTQ"), {4, 11, 22, 90, 7, 0.4f, 380}))); },
         "b.MTQ", true},
        {"recovery", [&] {
             const QByteArray b = bytesOf(path("b.MTQ"));
             writeBytes(path("b.MTQ"), b.left(b.size() - 24 * 4));  // the trailer cut off
             EXPECT_TRUE(recover(path("b.MTQ")).ok());
         }, "b.MTQ", true},
        {"save of one without", [&] {
             measurement("c.MTQ", {1, 1, 1});
             st.file.WorkFile = path("c.MTQ");
             dialogs.answers = {path("b.MTQ")};
             files.saveAs();
         }, "b.MTQ", false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_TRUE(messages.shown.empty());
        const Sidecar s = sidecarOf(step.result);
        if (!step.kept) {
            EXPECT_FALSE(QFile::exists(path(step.result) + QStringLiteral(".side")));
            continue;
        }
        EXPECT_EQ(s.gaps.list(), (std::vector<ReceiveGap>{{1, 12.5}}));
        EXPECT_EQ(s.markers, (std::vector<Marker>{{1, QStringLiteral("泵启动")}}));
    }
}

TEST_F(Files, openTakesNameplateAndChannelsAndRewritesTheSettingsFlags) {
    writeBytes(path("mervo.dft"), " 3\r\n 6\r\n 120\r\n 50\r\n 10\r\n 10\r\n 1\r\n 1\r\n 1\r\n");
    measurement("m.MTQ", {1, 0, 1});
    dialogs.answers = {path("m.MTQ")};
    const FileOpResult r = files.open();
    EXPECT_EQ(r.controls, test::controls("0100 -- -1011-"));
    EXPECT_EQ(st.file.WorkFile, path("m.MTQ"));
    EXPECT_EQ(st.settings.WiringCode, 5);
    EXPECT_EQ(st.motor.MotorRatedPower, 7.5f);
    EXPECT_TRUE(st.motor.MotorDataValid);
    EXPECT_EQ(st.settings.CTRatio, 50.0f);
    EXPECT_EQ(bytesOf(path("mervo.dft")), QByteArray(" 3\r\n 6\r\n 120\r\n 50\r\n 10\r\n 10\r\n 1\r\n 0\r\n 1\r\n"));
}

TEST_F(Files, openingSomethingThatIsNoMeasurementSaysSoAndTouchesNothing) {
    const QByteArray text = QByteArray("lorem ipsum dolor sit amet ").repeated(20);
    const struct {
        const char* what;
        QByteArray content;  // empty with isDir: a directory of that name
        bool isDir;
        const char* says;
    } cases[] = {
        {"three bytes", "abc", false, "不足以容纳文件头"},
        {"text as long as a complete file", text.left(48 + 36 * 3 + 96), false, "不是测量数据文件"},
        {"text as long as an interrupted one", text.left(48 + 36 * 3 + 5), false, "不是测量数据文件"},
        {"header with a channel flag of 7", [] {
             float h[12] = {100, 10, 0, 0, 0, 0, 0, 0, 0, 1, 7, 1};
             unsigned char b[48];
             encodeRecords(h, 12, b);
             return QByteArray(reinterpret_cast<const char*>(b), 48) + QByteArray(36, '\0');
         }(), false, "第 11 项"},
        {"a directory", QByteArray(), true, "不是普通文件"},
    };
    const QByteArray settings(" 3\r\n 6\r\n 120\r\n 50\r\n 10\r\n 10\r\n 1\r\n 1\r\n 1\r\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(path("mervo.dft"), settings);
        const QString p = path(c.isDir ? "folder.MTQ" : "other.MTQ");
        if (c.isDir)
            ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("folder.MTQ")));
        else
            writeBytes(p, c.content);
        st.motor.MotorRatedPower = 11;
        st.settings.WiringCode = 6;
        st.file.WorkFile = path("held.MTQ");
        messages.shown.clear();
        messages.answers = {};
        dialogs.answers = {p};

        const FileOpResult r = files.open();

        ASSERT_EQ(messages.shown.size(), 1u) << "no recovery is offered for a file of another kind";
        EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("无法打开测量数据文件！")));
        EXPECT_TRUE(messages.shown[0].text.contains(QString::fromUtf8(c.says))) << messages.shown[0].text.toStdString();
        EXPECT_EQ(r.controls, ControlStates{});
        EXPECT_EQ(r.caption, QString()) << "the title keeps naming the measurement in hand";
        EXPECT_EQ(st.file.WorkFile, path("held.MTQ"));
        EXPECT_EQ(st.motor.MotorRatedPower, 11.0f) << "the nameplate held stays";
        EXPECT_EQ(st.settings.WiringCode, 6);
        EXPECT_EQ(bytesOf(path("mervo.dft")), settings) << "the settings file is not rewritten";
        if (!c.isDir) {
            EXPECT_EQ(bytesOf(p), c.content) << "the file itself is not touched";
        }
    }
}

TEST_F(Files, closeReturnsToTheWorkingFileAndTheSetDuration) {
    st.file.WorkFile = path("m.MTQ");
    st.settings.TotalTimeSetting = 90;
    st.file.TotalTime = 3600;  // an analysis had taken the file's duration
    const FileOpResult r = files.close();
    EXPECT_EQ(st.file.WorkFile, workFilePath(dir.path()));
    EXPECT_EQ(st.file.TotalTime, 90.0f);
    EXPECT_EQ(r.caption, QStringLiteral("电能综合测试仪"));
    EXPECT_TRUE(r.clearPanel);
    EXPECT_EQ(r.controls, test::controls("1011 -- -00001"));
}

// Which entries each operation leaves on: Close, Save, Save As, analysis, timed receive, settings.
TEST(MenuStates, followTheOperationTable) {
    struct Row {
        const char* after;
        ControlStates change;
        std::optional<bool> want[6];
    } rows[] = {
        {"start-up", states::startup(), {false, false, false, false, true, true}},
        {"receive ended", states::manualReceiveEnds(), {true, true, false, true, true, true}},
        {"open", states::fileOpened(), {true, false, true, true, false, std::nullopt}},
        {"save", states::fileSaved(), {true, true, false, true, true, true}},
        {"save as", states::fileSavedAs(), {true, false, true, true, false, false}},
        {"close", states::fileClosed(), {false, false, false, false, true, true}},
    };
    for (const Row& r : rows) {
        const ControlStates& c = r.change;
        const std::optional<bool> got[6] = {c.mnuCLOSE, c.mnuSAVEFILE, c.mnuSAVE_AS, c.mnuTTT, c.Command1, c.mnuSet};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], r.want[i]) << r.after << " column " << i;
        EXPECT_EQ(c.mnuTTT, c.Command2) << r.after << ": the analysis menu and button go together";
    }
}

}  // namespace

TEST_F(Files, anInterruptedFileIsOfferedForRecoveryAndOpensEitherWay) {
    for (const MessageAnswer answer : {MessageAnswer::Yes, MessageAnswer::No}) {
        SCOPED_TRACE(answer == MessageAnswer::Yes ? "recover" : "open as is");
        // Three samples and the first ten bytes of a fourth, no trailer: a receive that was killed.
        WorkingFileWriter w;
        FileHeader h;
        h.TotalTime = 3;
        h.channels = {1, 0, 1};
        ASSERT_TRUE(w.create(path("cut.MTQ"), h));
        const float s[9] = {1, 220, 0.2f, 1, 220, 0.2f, 1, 220, 0.2f};
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(w.appendSample(s));
        EXPECT_TRUE(test::succeeded(w.close()));
        {
            QFile f(path("cut.MTQ"));
            ASSERT_TRUE(f.open(QIODevice::Append));
            f.write(QByteArray(10, '\x11'));
        }
        const QByteArray before = bytesOf(path("cut.MTQ"));
        messages.shown.clear();
        messages.answers = {answer};
        dialogs.answers = {path("cut.MTQ")};

        const FileOpResult r = files.open();

        ASSERT_GE(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].title, QStringLiteral("数据恢复！！！"));
        EXPECT_EQ(messages.shown[0].buttons, MessageButtons::YesNo);
        EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("3 组完整的数据")));
        EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("10 字节")));
        EXPECT_EQ(st.file.WorkFile, path("cut.MTQ"));
        EXPECT_EQ(r.controls, test::controls("0100 -- -1011-"));
        EXPECT_EQ(st.settings.WiringCode, 5);
        const QByteArray after = bytesOf(path("cut.MTQ"));
        if (answer == MessageAnswer::Yes) {
            EXPECT_EQ(after.size(), 48 + 3 * 36 + 96);
            EXPECT_EQ(after.left(48 + 3 * 36), before.left(48 + 3 * 36));
            ASSERT_EQ(messages.shown.size(), 2u);
            EXPECT_TRUE(messages.shown[1].text.contains(QStringLiteral("3 组")));
        } else {
            EXPECT_EQ(after, before);
            EXPECT_EQ(messages.shown.size(), 1u);
        }
    }
    // A complete file is opened without a question.
    measurement("whole.MTQ", {1, 1, 1});
    messages.shown.clear();
    dialogs.answers = {path("whole.MTQ")};
    files.open();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(st.file.WorkFile, path("whole.MTQ"));
}

namespace mervo {
namespace {

TEST(MeasurementSummary, samplesDurationStartAndNameplate) {
    MeasurementInfo a;
    a.wholeSamples = 2000;
    a.header.TotalTime = 62.4f;
    a.header.StartTime = 8 * 3600 + 5 * 60 + 7.6f;
    a.header.nameplate = {4, 11, 22.6f, 88, 7, 0.5f, 380};
    EXPECT_EQ(measurementSummary(a), QStringLiteral("2000 组数据　测量 0:01:02　开始 08:05:08　电机 4 极 11 kW"));
    MeasurementInfo b;
    b.header.TotalTime = 90000;
    b.header.StartTime = 23 * 3600 + 59 * 60 + 59;
    b.header.nameplate = {2, 0.75f, 1.8f, 0, 0.9f, 0.1f, 380};
    EXPECT_EQ(measurementSummary(b), QStringLiteral("0 组数据　测量 25:00:00　开始 23:59:59　无电机参数"));
}

}  // namespace
}  // namespace mervo

TEST_F(Files, aFileOfZerosAsLongAsARecordingIsSaidToBeNoneAndNotOfferedForRecovery) {
    const QByteArray zeros(48 + 36 * 3 + 5, '\0');
    const QString p = path("zeros.MTQ");
    writeBytes(p, zeros);
    messages.shown.clear();
    messages.answers = {};
    dialogs.answers = {p};
    (void)files.open();
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok) << "recovery is offered";
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("不能恢复"))) << messages.shown[0].text.toStdString();
    EXPECT_EQ(bytesOf(p), zeros);
}
