#include "windows/help_window.h"

#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "platform/qt_widgets/picture_box.h"
#include "platform/qt_widgets/twips_widgets.h"

namespace mervo {

QString helpDocument() {
    // The title keeps its ideographic space only as preformatted text: HTML would fold it into a plain blank.
    return QStringLiteral(
        "<p align=\"center\" "
        "style=\"font-size:14pt;font-weight:bold;white-space:pre\">MERVO\u3000电能综合测试仪专用软件</p>"
        "<p style=\"font-weight:bold\">简易使用说明：</p>"
        "<ol>"
        "<li>本软件的各项功能均可从下拉菜单选用，在主窗口内单击鼠标右键也可弹出文件菜单。</li>"
        "<li>首次使用时，请先打开“设置→选项”，确认与仪表相连的串行口号以及是否使用电流、电压互感器；"
        "不使用互感器时，倍率请填 1。</li>"
        "<li>数据可以手动接收，也可以定时接收；定时接收前，请在设置窗口的累计时间栏中填入所需时间。</li>"
        "<li>测量电机时，请在接收数据之前先设定电机的技术参数。</li>"
        "<li>接收完毕后请将数据存盘，以便日后分析、演示、打印和管理。CT、PT "
        "倍率和当前电机参数随数据一同保存，"
        "分析时使用的是换算后的一次侧数值。</li>"
        "<li>"
        "进入分析窗口后，须先按“数据分析”按钮，其他操作才可使用。拖动滑块，或在瞬时序号栏中输入序号后按查询按"
        "钮，"
        "即可查看该时刻的瞬时值；左侧所列数值对应分时图中白色十字标出的那一点。</li>"
        "<li>若测得的功率多数时间为负值，请将仪表的电流钳反向夹好后重新测量。</li>"
        "</ol>"
        "<p>使用中如有问题或建议，欢迎随时告诉我们。</p>");
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("帮助"));
    setFont(designedFont());
    resize(px(6960), px(5295));
    // Esc closes the notes, as it closes a dialog.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);

    OLE1 = new QTextBrowser(this);
    OLE1->setObjectName(QStringLiteral("OLE1"));
    OLE1->setOpenLinks(false);  // the document has no links to follow
    OLE1->setHtml(helpDocument());
    // The view fills the window, also when the operator makes it larger to read.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(OLE1);
}

}  // namespace mervo
