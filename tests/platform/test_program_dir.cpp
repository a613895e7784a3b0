// Which directory holds the working file, settings and catalogue: a build keeps them beside itself, an installed
// or unwritable copy in the data home, with the catalogue brought there once and never written over.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/program_dir.h"

using namespace mervo;

namespace {

void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

}  // namespace

TEST(ProgramDirectory, aBuildKeepsItsFilesBesideItAndAnInstalledCopyInTheDataHome) {
    enum class Layout { Build, Installed };  // catalogue beside the executable, or in ../share/mervo only
    enum class Chosen { Home, ExeDir, DataHome };
    struct Case {
        const char* what;
        bool homeSet;
        bool exeWritable;
        Layout layout;
        const char* alreadyThere;  // MT_fe.txt in the data home before the start, or null
        Chosen chosen;
        const char* categories;  // MT_fe.txt and MTALL.OBJ in the chosen directory afterwards
        const char* nameplates;
    } const cases[] = {
        {"MERVO_HOME wins", true, true, Layout::Build, nullptr, Chosen::Home, "(missing)", "(missing)"},
        {"a writable build", false, true, Layout::Build, nullptr, Chosen::ExeDir, "beside 1", "beside 3"},
        {"an unwritable build", false, false, Layout::Build, nullptr, Chosen::DataHome, "beside 1", "beside 3"},
        {"an installed copy, even as root", false, true, Layout::Installed, nullptr, Chosen::DataHome, "shared 1",
         "shared 3"},
        {"a second start", false, false, Layout::Installed, "operator's", Chosen::DataHome, "operator's",
         "shared 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        const QString bin = root.filePath(QStringLiteral("usr/bin"));
        const QString dataHome = root.filePath(QStringLiteral("home/.local/share"));
        ASSERT_TRUE(QDir().mkpath(bin));
        const QString from = c.layout == Layout::Build ? bin : root.filePath(QStringLiteral("usr/share/mervo"));
        const QByteArray origin = c.layout == Layout::Build ? "beside " : "shared ";
        write(from + QStringLiteral("/MT_fe.txt"), origin + "1");
        write(from + QStringLiteral("/bmindex.txt"), origin + "2");
        write(from + QStringLiteral("/MTALL.OBJ"), origin + "3");
        if (c.alreadyThere) write(dataHome + QStringLiteral("/mervo/MT_fe.txt"), c.alreadyThere);

        const ProgramDirPlaces places{c.homeSet ? root.filePath(QStringLiteral("home/work")) : QString(), bin,
                                      dataHome};
        const QString dir = chooseProgramDirectory(places, [&](const QString&) { return c.exeWritable; });

        const QString want = c.chosen == Chosen::Home     ? root.filePath(QStringLiteral("home/work"))
                             : c.chosen == Chosen::ExeDir ? bin
                                                          : root.filePath(QStringLiteral("home/.local/share/mervo"));
        EXPECT_EQ(dir.toStdString(), want.toStdString());
        EXPECT_EQ(contentOf(want + QStringLiteral("/MT_fe.txt")), QByteArray(c.categories));
        EXPECT_EQ(contentOf(want + QStringLiteral("/MTALL.OBJ")), QByteArray(c.nameplates));
        if (c.chosen != Chosen::DataHome) {
            EXPECT_FALSE(QFileInfo::exists(dataHome)) << "nothing is made in the data home of a copy that stays";
        } else {
            EXPECT_EQ(QDir(want).entryList(QDir::Files | QDir::Hidden).size(), 3) << "no partial copy is left";
        }
    }
}
