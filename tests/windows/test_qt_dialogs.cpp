// Qt's own dialogs in the program's language once its translations are installed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

#include "platform/qt_core/translations.h"
#include "platform/qt_widgets/widget_dialogs.h"
#include "windows/gui_test_support.h"

namespace mervo {
namespace {

TEST(QtDialogs, theSaveDialogsButtonsAreChinese) {
    test::ensureApp();
    ASSERT_TRUE(installChineseTranslations(*QCoreApplication::instance()));
    QStringList buttons;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        for (const QPushButton* b : d->findChildren<QPushButton*>())
            if (b->isVisible()) buttons << b->text();
        d->reject();
    });
    poll.start(10);
    WidgetFileDialogs dialogs;
    FileDialogRequest r;
    r.kind = FileDialogRequest::Kind::Save;
    r.title = QStringLiteral("保存");
    r.filter = QStringLiteral("电能综合测试(*.MTQ)");
    EXPECT_FALSE(dialogs.choose(r));
    EXPECT_TRUE(buttons.contains(QStringLiteral("保存(&S)"))) << buttons.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(buttons.contains(QStringLiteral("取消"))) << buttons.join(QLatin1Char('|')).toStdString();
}

}  // namespace
}  // namespace mervo
