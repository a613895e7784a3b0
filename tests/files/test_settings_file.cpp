#include <gtest/gtest.h>
#include <sys/stat.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "files/settings_file.h"
#include "support/status_matchers.h"

using namespace mervo;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("mervo.dft"));

    void put(const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QByteArray content() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Values nothing falls back to, so a line that is not taken cannot pass unnoticed.
    static SettingsValues stale() {
        SettingsValues s;
        s.CommPortNo = 6, s.CurveKind = 8, s.TotalTimeSetting = 77, s.CTRatio = 33, s.PTRatio = 44;
        s.SegmentCount = 20, s.RedOn = 0, s.BlueOn = 0, s.YellowOn = 0, s.WiringCode = 0;
        return s;
    }
};

struct Expected {
    int port, curve;
    float time, ct, pt, segment;
    int red, blue, yellow;
};

void expectSettings(const SettingsValues& s, float totalTime, const Expected& e, const char* what) {
    EXPECT_EQ(s.CommPortNo, e.port) << what;
    EXPECT_EQ(s.CurveKind, e.curve) << what;
    EXPECT_EQ(s.TotalTimeSetting, e.time) << what;
    EXPECT_EQ(totalTime, e.time) << what;
    EXPECT_EQ(s.CTRatio, e.ct) << what;
    EXPECT_EQ(s.PTRatio, e.pt) << what;
    EXPECT_EQ(s.SegmentCount, e.segment) << what;
    EXPECT_EQ(s.RedOn, e.red) << what;
    EXPECT_EQ(s.BlueOn, e.blue) << what;
    EXPECT_EQ(s.YellowOn, e.yellow) << what;
    EXPECT_EQ(s.WiringCode, 4 * e.red + 2 * e.blue + e.yellow) << what;
}

constexpr Expected kInitial{1, 0, 10, 1, 1, 5, 1, 1, 1};

}  // namespace

TEST_F(SettingsFile, writesNineLinesInTheStoredNumberFormWithCrLf) {
    SettingsValues s;
    s.CommPortNo = 1, s.CurveKind = 0, s.TotalTimeSetting = 5400, s.CTRatio = 0.5f, s.PTRatio = 100;
    s.SegmentCount = 10, s.RedOn = 1, s.BlueOn = 0, s.YellowOn = 1;
    ASSERT_TRUE(test::succeeded(writeSettingsFile(path, s)));
    EXPECT_EQ(content(), QByteArray(" 1\r\n 0\r\n 5400\r\n .5\r\n 100\r\n 10\r\n 1\r\n 0\r\n 1\r\n"));
}

TEST_F(SettingsFile, readsBackWhatWasWritten) {
    SettingsValues s;
    s.CommPortNo = 8, s.CurveKind = 7, s.TotalTimeSetting = 86399, s.CTRatio = 0.1f, s.PTRatio = 2.5f;
    s.SegmentCount = 20, s.RedOn = 1, s.BlueOn = 1, s.YellowOn = 1;
    ASSERT_TRUE(writeSettingsFile(path, s));
    SettingsValues r = stale();
    float totalTime = 0;
    const SettingsReadReport report = readSettingsFile(path, r, totalTime);
    EXPECT_TRUE(report.fileFound);
    EXPECT_EQ(report.fallbacks(), 0);
    expectSettings(r, totalTime, {8, 7, 86399, 0.1f, 2.5f, 20, 1, 1, 1}, "round trip");
}

TEST_F(SettingsFile, everyUnusableLineFallsBackToItsInitialValue) {
    const struct {
        const char* text;  // nullptr: no file
        Expected want;
        int fallbacks;
    } cases[] = {
        {nullptr, kInitial, 9},
        {" 3\r\n 6\r\n 60\r\n 2\r\n", {3, 6, 60, 2, 1, 5, 1, 1, 1}, 5},  // short file
        {"", kInitial, 9},
        {"COM2\r\nx\r\n1:00\r\n\r\n 1 0\r\nten\r\nyes\r\n-\r\n.\r\n", kInitial, 9},
        {"nan\r\ninf\r\n-inf\r\n 1e40\r\nNaN\r\n 5\r\n 0\r\n 0\r\n 0\r\n", {1, 0, 10, 1, 1, 5, 0, 0, 0}, 5},
        {" 0\r\n-1\r\n-5\r\n 0\r\n-2\r\n 7\r\n 2\r\n-1\r\n 0.4\r\n", {1, 0, 10, 1, 1, 5, 1, 1, 0}, 8},
        {" 9\r\n 10\r\n 0\r\n .5\r\n 1e3\r\n 15\r\n 1\r\n 0\r\n 1\r\n", {1, 0, 0, 0.5f, 1000, 5, 1, 0, 1}, 3},
        {" 8\r\n 9\r\n 1\r\n 1\r\n 1\r\n 20\r\n 0\r\n 0\r\n 0\r\n", {8, 9, 1, 1, 1, 20, 0, 0, 0}, 0},
        // Ratios that round to 0 as floats would store every current and voltage as 0.
        {" 1\r\n 0\r\n 10\r\n 1e-50\r\n 1e-46\r\n 5\r\n 1\r\n 1\r\n 1\r\n", {1, 0, 10, 1, 1, 5, 1, 1, 1}, 2},
        // Each a float, but a full-scale block scaled by both would not be one.
        {" 1\r\n 0\r\n 10\r\n 1e30\r\n 1e30\r\n 5\r\n 1\r\n 1\r\n 1\r\n", {1, 0, 10, 1, 1, 5, 1, 1, 1}, 2},
    };
    for (const auto& c : cases) {
        QFile::remove(path);
        if (c.text) put(c.text);
        const char* what = c.text ? c.text : "no file";
        SettingsValues s = stale();
        float totalTime = -1;
        const SettingsReadReport report = readSettingsFile(path, s, totalTime);
        expectSettings(s, totalTime, c.want, what);
        EXPECT_EQ(report.fallbacks(), c.fallbacks) << what;
        EXPECT_EQ(report.fileFound, c.text != nullptr) << what;
    }
}

TEST_F(SettingsFile, aFileThatIsThereButCannotBeReadSaysWhyAndFallsBack) {
    const auto check = [&](const char* what) {
        SettingsValues s = stale();
        float totalTime = -1;
        const SettingsReadReport report = readSettingsFile(path, s, totalTime);
        expectSettings(s, totalTime, kInitial, what);
        EXPECT_FALSE(report.fileFound) << what;
        EXPECT_FALSE(report.unreadable.isEmpty()) << what;
    };
    QFile::remove(path);
    ASSERT_TRUE(QDir().mkdir(path));
    check("a folder");
    ASSERT_TRUE(QDir().rmdir(path));
    ASSERT_TRUE(QFile::link(path + QStringLiteral(".gone"), path));
    check("a dangling link");
    QFile::remove(path);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    check("a FIFO, which a plain open would wait on for ever");
    QFile::remove(path);
    SettingsValues s = stale();
    float totalTime = -1;
    EXPECT_TRUE(readSettingsFile(path, s, totalTime).unreadable.isEmpty()) << "a missing file is no fault";
}

TEST_F(SettingsFile, spacesAroundValuesAndBareLineFeedsReadFine) {
    put("  2  \n\t0\n 3600 \n .25\r\n+10\n 10 \n1\n 0\t\n1");
    SettingsValues s = stale();
    float totalTime = 0;
    EXPECT_EQ(readSettingsFile(path, s, totalTime).fallbacks(), 0);
    expectSettings(s, totalTime, {2, 0, 3600, 0.25f, 10, 10, 1, 0, 1}, "spaces and LF");
}

TEST_F(SettingsFile, writeIntoMissingDirectoryFailsWithItsPath) {
    const QString bad = dir.filePath(QStringLiteral("gone/mervo.dft"));
    const Status written = writeSettingsFile(bad, SettingsValues{});
    EXPECT_FALSE(written);
    EXPECT_TRUE(written.message().contains(dir.filePath(QStringLiteral("gone"))));
    EXPECT_FALSE(QFile::exists(bad));
}

// A write that fails part way (here: the file-size limit) must leave the previous file whole and no
// temporary behind. Run in a child so the limit cannot touch this process's own output.
TEST_F(SettingsFile, failedWriteLeavesTheOldFileUntouched) {
    const QByteArray old(" 4\r\n 3\r\n 120\r\n 1\r\n 1\r\n 5\r\n 1\r\n 1\r\n 1\r\n");
    put(old);
    SettingsValues s;
    s.TotalTimeSetting = 123456.7f;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit small{8, 8};
        setrlimit(RLIMIT_FSIZE, &small);
        const Status written = writeSettingsFile(path, s);
        _exit(!written && !written.message().isEmpty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write must report failure";
    EXPECT_EQ(content(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("mervo.dft")});
}
