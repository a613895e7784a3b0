// The print window: defaults from the measurement, the range controls, both documents printed to outputs the
// test records, and the refusals that print nothing.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <deque>

#include "measurement/writer.h"
#include "analysis/analysis_pass.h"
#include "platform/fake/recording_surface.h"
#include "platform/fake/scripted_dialogs.h"
#include "platform/qt_widgets/printer_output.h"
#include "windows/print_window.h"
#include "windows/gui_test_support.h"
#include "support/status_matchers.h"

using namespace mervo;

namespace {

// Draws on a page the test keeps, so what was printed can be read after the output is gone.
struct RecordedOutput : PrintOutput {
    explicit RecordedOutput(RecordingSurface& p) : page(p) {}
    RecordingSurface& page;
    bool failFinish = false;
    bool* finished;
    bool* abandoned;
    Surface& surface() override { return page; }
    Status finish() override {
        *finished = !failFinish;
        return failFinish ? Status::failure(QStringLiteral("打印机未就绪")) : Status();
    }
    void abandon() override { *abandoned = true; }
};

class PrintWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureApp();
        const QString path = dir.filePath("m.MTQ");
        WorkingFileWriter w;
        FileHeader h;
        h.TotalTime = 13;
        h.nameplate = {4, 4, 8.5f, 80, 4, 0.2f, 380};
        h.channels = {1, 1, 1};
        ASSERT_TRUE(w.create(path, h));
        std::array<float, 12> mx{}, mn{};
        mx.fill(12);
        mn.fill(1);
        for (int i = 0; i < 130; ++i) {
            const float s[9] = {-10, 230, 2, -10, 230, 2, -10, 230, 2};
            EXPECT_TRUE(test::succeeded(w.appendSample(s)));
        }
        EXPECT_TRUE(test::succeeded(w.appendTrailer(mx, mn)));
        EXPECT_TRUE(test::succeeded(w.close()));
        st.file.WorkFile = path;
        AnalysisPass pass(st, nullptr);
        ASSERT_TRUE(pass.begin(dir.path()));
        while (!pass.step(1000)) {
        }
        win = new PrintWindow(st, dialogs, messages);
        win->openOutput = [this](const QString& name) -> Result<std::unique_ptr<PrintOutput>> {
            kept.emplace_back();
            auto out = std::make_unique<RecordedOutput>(kept.back());
            out->failFinish = failFinish;
            out->finished = &finished[names.size()];
            out->abandoned = &abandoned[names.size()];
            names << name;
            pages.push_back(&out->page);
            return std::unique_ptr<PrintOutput>(std::move(out));
        };
        win->show();
    }
    void TearDown() override { delete win.data(); }

    QTemporaryDir dir;
    SharedState st;
    ScriptedFileDialogs dialogs;
    ScriptedMessageBoxes messages;
    QPointer<PrintWindow> win;
    QStringList names;
    std::vector<RecordingSurface*> pages;
    std::deque<RecordingSurface> kept;
    bool failFinish = false;
    bool finished[4] = {}, abandoned[4] = {};
};

// A later print window starts with the organisation and device of the last printout; until there has been
// one, with its designed texts.
TEST_F(PrintWindowTest, aLaterWindowStartsWithTheTextsLastPrinted) {
    QTemporaryDir home;
    QPointer<PrintWindow> first = new PrintWindow(st, dialogs, messages, nullptr, home.path());
    const QString designed[2] = {first->Text3->text(), first->Text4->text()};
    EXPECT_EQ(designed[0], win->Text3->text()) << "nothing printed yet";
    first->openOutput = win->openOutput;
    first->Text3->setText(QStringLiteral("电机试验站"));
    first->Text4->setText(QStringLiteral("泵站北线三号机组"));
    first->Check1->setChecked(true);
    first->Command2->click();
    ASSERT_EQ(names.size(), 1) << "the report was printed";
    delete first.data();
    auto* later = new PrintWindow(st, dialogs, messages, nullptr, home.path());
    EXPECT_EQ(later->Text3->text(), QStringLiteral("电机试验站"));
    EXPECT_EQ(later->Text4->text(), QStringLiteral("泵站北线三号机组"));
    delete later;
    QTemporaryDir elsewhere;
    auto* fresh = new PrintWindow(st, dialogs, messages, nullptr, elsewhere.path());
    EXPECT_EQ(fresh->Text3->text(), designed[0]);
    EXPECT_EQ(fresh->Text4->text(), designed[1]);
    delete fresh;
}

TEST_F(PrintWindowTest, startsWithTheFileDateAndTheWholeRangeLocked) {
    const QDateTime t = QFileInfo(st.file.WorkFile).lastModified();
    EXPECT_EQ(win->Text5[0]->text(), QString::number(t.date().year()));
    EXPECT_EQ(win->Text5[4]->text(), QString::number(t.time().minute()));
    EXPECT_EQ(win->Text1->text(), QStringLiteral("1"));
    EXPECT_EQ(win->Text2->text(), QStringLiteral("130"));
    EXPECT_FALSE(win->Text1->isEnabled());
    win->Check2->click();
    EXPECT_TRUE(win->Text1->isEnabled());
    EXPECT_TRUE(win->Text2->isEnabled());
}

TEST_F(PrintWindowTest, printsTheReportAndTheTableAsTypedThenCloses) {
    win->Check1->click();
    win->Check2->click();
    win->Text3->setText(QStringLiteral("测试研究所"));
    win->Text5[0]->setText(QStringLiteral("2026"));
    win->Command2->click();
    test::settle();
    ASSERT_EQ(names, QStringList({QStringLiteral("工况运行曲线"), QStringLiteral("数据")}));
    EXPECT_TRUE(finished[0]);
    EXPECT_TRUE(finished[1]);
    auto printed = [](RecordingSurface* p, const QString& what) {
        for (const auto& c : p->texts())
            if (c.text.contains(what)) return true;
        return false;
    };
    EXPECT_TRUE(printed(pages[0], QStringLiteral("测试研究所")));
    EXPECT_TRUE(printed(pages[0], QStringLiteral("2026")));
    EXPECT_TRUE(printed(pages[1], QStringLiteral("测试研究所")));
    EXPECT_EQ(pages[1]->page(), 3) << "130 rows: 60, 65 and 5";
    EXPECT_TRUE(win.isNull()) << "closed after printing";
}

TEST_F(PrintWindowTest, aWrongRangePrintsNothingAndKeepsTheWindow) {
    win->Check1->click();
    win->Check2->click();
    for (const char* to : {"131", "abc", "0"}) {
        messages.shown.clear();
        win->Text2->setText(QString::fromLatin1(to));
        win->Command2->click();
        ASSERT_EQ(messages.shown.size(), 1u) << to;
        EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("130"))) << messages.shown[0].text.toStdString();
        EXPECT_TRUE(names.isEmpty()) << "not even the report";
        EXPECT_FALSE(win.isNull());
    }
}

TEST_F(PrintWindowTest, aPdfThatCannotBeCreatedIsRefusedBeforeAnythingIsDrawn) {
    if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "a default printer takes the output";
    QDir(dir.path()).mkdir(QStringLiteral("taken.pdf"));
    for (const QString& path : {dir.filePath(QStringLiteral("no/such/dir/x.pdf")), dir.filePath(QStringLiteral("taken.pdf"))}) {
        SCOPED_TRACE(path.toStdString());
        dialogs.answers = {path};
        const auto out = openDefaultOutput(QStringLiteral("数据"), dialogs);
        ASSERT_FALSE(out);
        EXPECT_TRUE(out.message().contains(path));
        EXPECT_TRUE(out.message().contains(QStringLiteral("“数据”未能打印")));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"m.MTQ"})) << "no partial file";
}

TEST_F(PrintWindowTest, aFailedOutputIsReportedNotPassedOffAsDone) {
    failFinish = true;
    win->Check1->click();
    win->Command2->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("打印机未就绪")));
    EXPECT_TRUE(messages.shown[0].title.endsWith(QStringLiteral("！！！")));
    EXPECT_FALSE(finished[0]);
}

// 6495 rows take 101 pages (60, then 99 pages of 65, and the last row's page break leaves a page for the end
// line); 6494 rows take 100. Beyond 100 pages the operator confirms first; No prints nothing, not even the report.
TEST_F(PrintWindowTest, aTableOfMoreThanAHundredPagesIsPrintedOnlyWhenConfirmed) {
    const QString path = dir.filePath("long.MTQ");
    WorkingFileWriter w;
    FileHeader h;
    h.TotalTime = 6495;
    h.channels = {1, 1, 1};
    ASSERT_TRUE(w.create(path, h));
    const float s[9] = {1, 220, 1, 1, 220, 1, 1, 220, 1};
    for (int i = 0; i < 6495; ++i) ASSERT_TRUE(test::succeeded(w.appendSample(s)));
    ASSERT_TRUE(test::succeeded(w.close()));
    st.file.WorkFile = path;
    const struct {
        const char* to;
        std::optional<MessageAnswer> answer;  // nothing: no question expected
        int pages;                            // 0: nothing printed
    } cases[] = {{"6494", std::nullopt, 100}, {"6495", MessageAnswer::No, 0}, {"6495", MessageAnswer::Yes, 101}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        if (win.isNull()) {
            win = new PrintWindow(st, dialogs, messages);
            win->openOutput = [this](const QString& name) -> Result<std::unique_ptr<PrintOutput>> {
                kept.emplace_back();
                auto out = std::make_unique<RecordedOutput>(kept.back());
                out->finished = &finished[0];
                out->abandoned = &abandoned[0];
                names << name;
                pages.push_back(&out->page);
                return std::unique_ptr<PrintOutput>(std::move(out));
            };
            win->show();
        }
        names.clear();
        pages.clear();
        messages.shown.clear();
        messages.answers.clear();
        if (c.answer) messages.answers.push_back(*c.answer);
        win->Check1->setChecked(true);
        win->Check2->setChecked(true);
        win->Check2_Click();
        win->Text2->setText(QString::fromLatin1(c.to));
        win->Command2->click();
        test::settle();
        ASSERT_EQ(messages.shown.size(), c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_EQ(messages.shown[0].buttons, MessageButtons::YesNo);
            EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("101"))) << messages.shown[0].text.toStdString();
        }
        if (c.pages == 0) {
            EXPECT_TRUE(names.isEmpty());
            EXPECT_FALSE(win.isNull()) << "the window stays for another range";
            continue;
        }
        ASSERT_EQ(names, QStringList({QStringLiteral("工况运行曲线"), QStringLiteral("数据")}));
        EXPECT_EQ(pages[1]->page(), c.pages);
        EXPECT_TRUE(win.isNull());
    }
}

}  // namespace
