// A new version of a file takes the old one's place only when it is on the disk, whatever step fails.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>

#include "platform/fake/recording_file_system.h"
#include "platform/file_replacement.h"

using namespace mervo;
using Op = RecordingFileSystem::Op;

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(FileReplacement, theOldFileStaysWholeUntilTheNewOneIsOnTheDisk) {
    struct Case {
        const char* what;
        Op failing;  // Op::Create: nothing fails
        bool replaced;
    } const cases[] = {
        {"every step succeeds", Op::Create, true},     {"the write fails", Op::Write, false},
        {"the sync fails", Op::Sync, false},           {"the close fails", Op::Close, false},
        {"the rename fails", Op::Rename, false},       {"the directory sync fails", Op::SyncDirectory, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("mervo.dft"));
        {
            QFile f(target);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        RecordingFileSystem fs;
        if (c.failing != Op::Create) fs.failAt(c.failing, 1);
        Status done;
        {
            // A writer that gives up on a failure just lets the replacement go.
            FileReplacement r(fs);
            ASSERT_TRUE(r.begin(target));
            done = r.file().writeAt(0, "new", 3);
            if (done) done = r.commit();
        }
        EXPECT_EQ(done.ok(), c.replaced);
        EXPECT_EQ(contentOf(target), c.replaced ? QByteArray("new") : QByteArray("old"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("mervo.dft")})
            << "no partial copy is left behind";
        if (!c.replaced) continue;
        // Data, then name, then the directory that holds the name.
        std::vector<Op> order;
        for (const auto& s : fs.steps()) order.push_back(s.op);
        const std::vector<Op> want{Op::Create, Op::Write, Op::Sync, Op::Close, Op::Rename, Op::SyncDirectory};
        EXPECT_EQ(order, want);
    }
}

// The sweep removes the temporaries of killed writers and leaves those a live writer holds, and whatever else is
// in the folder.
TEST(FileReplacement, theSweepRemovesOnlyWhatKilledWritersLeft) {
    QTemporaryDir dir;
    const auto make = [&](const char* name) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    };
    for (const char* name : {".a.MTQ.part-Ab12Cd", ".a.MTQ.recover-XyZ789", ".b.csv.nameplate-000aaa",
                             ".a.MTQ.side.side-Zz99Yy", "a.MTQ", ".hidden", ".a.MTQ.part-short", ".c.MTQ.other-Ab12Cd"})
        make(name);
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("a.MTQ")), dir.filePath(QStringLiteral(".l.MTQ.part-LnK123"))));
    // A writer of this process still at work, and one of another program holding its lock.
    FileReplacement live;
    ASSERT_TRUE(live.begin(dir.filePath(QStringLiteral("b.MTQ"))));
    make(".held.MTQ.part-HeLd00");
    const int held = ::open(QFile::encodeName(dir.filePath(QStringLiteral(".held.MTQ.part-HeLd00"))).constData(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    EXPECT_EQ(sweepOrphanTemporaries(dir.path()), 4);
    ::close(held);
    QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    left.removeOne(QFileInfo(live.temporaryPath()).fileName());
    EXPECT_EQ(left, (QStringList{".a.MTQ.part-short", ".c.MTQ.other-Ab12Cd", ".held.MTQ.part-HeLd00", ".hidden",
                                 ".l.MTQ.part-LnK123", "a.MTQ"}));
    EXPECT_TRUE(QFile::exists(live.temporaryPath())) << "a writer at work keeps its new version";
}
