// The About and help windows.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "windows/about_window.h"
#include "windows/gui_test_support.h"
#include "windows/help_window.h"

namespace mervo {
namespace {

TEST(AboutWindow, ShowsItsTextsAndBlocksUntilClosed) {
    test::ensureApp();
    AboutWindow about;
    EXPECT_EQ(about.windowTitle(), "关于MERVO...");
    EXPECT_EQ(about.Label1->text(), "MERVO 电能综合测试仪");
    EXPECT_EQ(about.Label2->text(), "辅助软件");
    EXPECT_TRUE(about.Label2->font().bold());
    EXPECT_EQ(about.Label3->text(), "V6.18");
    EXPECT_EQ(about.Command1->text(), "关闭窗口");
    // Every control lies inside the window: nothing clipped.
    for (QWidget* c : std::initializer_list<QWidget*>{about.Label1, about.Label2, about.Label3})
        EXPECT_TRUE(about.Frame1->rect().contains(c->geometry())) << c->objectName().toStdString();
    EXPECT_TRUE(about.rect().contains(about.Command1->geometry()));

    // exec() returns only once the button has been pressed.
    bool pressed = false;
    QTimer::singleShot(0, &about, [&] {
        EXPECT_TRUE(about.isVisible());
        pressed = true;
        QTest::mouseClick(about.Command1, Qt::LeftButton);
    });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(about.isVisible());
}

TEST(HelpWindow, ShowsTheNotesReadOnlyOverTheWholeWindow) {
    test::ensureApp();
    HelpWindow help;
    help.show();
    EXPECT_EQ(help.windowTitle(), "帮助");
    const QString text = help.OLE1->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("MERVO\u3000电能综合测试仪专用软件"))) << text.toStdString();
    EXPECT_TRUE(text.contains("简易使用说明："));
    EXPECT_TRUE(text.contains("设置→选项"));
    EXPECT_EQ(help.OLE1->geometry(), help.rect());

    EXPECT_TRUE(help.OLE1->isReadOnly());
    QTest::keyClicks(help.OLE1->viewport(), "abc");
    QTest::keyClick(help.OLE1, Qt::Key_Delete);
    EXPECT_EQ(help.OLE1->toPlainText(), text);

    // Esc closes the notes, as it closes a dialog.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&help));
    QTest::keyClick(help.OLE1, Qt::Key_Escape);
    EXPECT_FALSE(help.isVisible());
}

}  // namespace
}  // namespace mervo
