// The client area of every window, in pixels at 96 dpi (15 twips to a pixel).
#include <gtest/gtest.h>

#include <QTest>
#include <functional>
#include <memory>

#include "windows/about_window.h"
#include "windows/analysis_window.h"
#include "windows/gui_test_support.h"
#include "windows/help_window.h"
#include "windows/motor_window.h"
#include "windows/print_window.h"
#include "windows/settings_window.h"

namespace mervo {
namespace {

TEST(WindowSizes, ClientAreasAreTheDesignedOnes) {
    test::MainWindowRig rig;
    const QString dir = rig.dir.path();
    const struct {
        const char* window;
        std::function<QWidget*()> make;  // the widget whose size is the client area
        int width, height;
    } cases[] = {
        {"main: 7650 x 2655 below the menu bar", [&] { return rig.window->centralWidget(); }, 510, 177},
        // Designed as the outer 7200 x 5925: less a 45-twip border on each side and a 300-twip caption.
        {"settings", [&] { return new SettingsWindow(rig.state, rig.messages, dir); }, 474, 369},
        {"motor: 6870 x 6585", [&] { return new MotorWindow(rig.state, rig.messages, dir); }, 458, 439},
        {"analysis: 11550 x 7230", [&] { return new AnalysisWindow(rig.state, rig.messages, dir); }, 770, 482},
        {"print: 7470 x 5580", [&] { return new PrintWindow(rig.state, rig.dialogs, rig.messages); }, 498, 372},
        {"about: 3315 x 2310", [&] { return new AboutWindow(); }, 221, 154},
        {"help: 6960 x 5295", [&] { return new HelpWindow(); }, 464, 353},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window);
        QWidget* w = c.make();
        QWidget* top = w->window();
        top->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(top));
        EXPECT_EQ(w->size(), QSize(c.width, c.height));
        if (top != rig.window.get()) delete top;
    }
}

}  // namespace
}  // namespace mervo
