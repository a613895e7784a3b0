#include "windows/about_window.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "platform/qt_widgets/twips_widgets.h"

namespace mervo {

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于MERVO..."));
    setFont(designedFont());
    setFixedTwipsSize(this, 3315, 2310);

    Frame1 = placed<QGroupBox>(this, QStringLiteral("Frame1"), 120, 120, 3015, 1575);

    auto label = [this](const char* name, const QString& text, int left, int top, int width, int height) {
        return placed<QLabel>(Frame1, QLatin1String(name), left, top, width, height, text);
    };
    Label1 = label("Label1", QStringLiteral("MERVO 电能综合测试仪"), 120, 240, 2655, 255);
    Label1->setFont(designedFont(QStringLiteral("宋体"), 10.5));
    Label2 = label("Label2", QStringLiteral("辅助软件"), 720, 480, 1095, 330);
    Label2->setFont(designedFont(QStringLiteral("黑体"), 12, true));
    // Baseline with the larger face beside it.
    Label3 = label("Label3", QStringLiteral("V6.18"), 1920, 600, 495, 210);

    Command1 = placed<QPushButton>(this, QStringLiteral("Command1"), 1080, 1800, 1095, 375, QStringLiteral("关闭窗口"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &AboutWindow::Command1_Click);
}

void AboutWindow::Command1_Click() {
    accept();
}

}  // namespace mervo
