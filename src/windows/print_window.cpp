#include "windows/print_window.h"

#include <algorithm>
#include <climits>

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>

#include "platform/qt_widgets/printer_output.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "files/side_settings.h"
#include "printing/data_table.h"
#include "printing/report.h"
#include "shared/text_parse.h"
#include "shared/message_titles.h"

namespace mervo {

namespace {

const QString kTitle = QStringLiteral("打印设置");
const QString kDateTip = QStringLiteral("默认值为所打印文件的最后修改日期（可更改）");
// A table longer than this many pages is printed only once the operator has confirmed its length.
constexpr int64_t kConfirmPages = 100;

}  // namespace

PrintWindow::PrintWindow(SharedState& state, FileDialogs& dialogs, MessageBoxes& messages, QWidget* parent,
                         QString rememberIn)
    : QWidget(parent, Qt::Window), st_(state), dialogs_(dialogs), messages_(messages), rememberIn_(std::move(rememberIn)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kTitle);
    setFont(designedFont(QStringLiteral("宋体"), 12));
    setFixedTwipsSize(this, 7470, 5580);

    const QFont f105 = designedFont(QStringLiteral("宋体"), 10.5);
    const QFont f9 = designedFont(QStringLiteral("宋体"), 9);
    auto frame = [this](const char* name, const QString& caption, int l, int t, int w, int h) {
        return placed<QGroupBox>(this, QLatin1String(name), l, t, w, h, caption);
    };
    auto edit = [](QWidget* in, const char* name, const QString& text, int l, int t, int w, int h, const QFont& f) {
        auto* e = placed<QLineEdit>(in, QLatin1String(name), l, t, w, h, text);
        e->setFont(f);
        return e;
    };
    auto label = [](QWidget* in, const char* name, const QString& text, int l, int t, int w, int h) {
        return placed<QLabel>(in, QLatin1String(name), l, t, w, h, text);
    };

    Frame3 = frame("Frame3", QStringLiteral("使用单位："), 120, 120, 7215, 855);
    Text3 = edit(Frame3, "Text3", QStringLiteral("×××公司"), 240, 360, 6735, 315, f105);
    Frame4 = frame("Frame4", QStringLiteral("被测设备编号："), 120, 1080, 7215, 855);
    Frame4->setToolTip(QStringLiteral("被测设备名称，以便区分打印记录。"));
    Text4 = edit(Frame4, "Text4", QStringLiteral("设001-001"), 240, 360, 6735, 315, f105);
    Text4->setToolTip(QStringLiteral("被测设备名称，以区分打印记录。"));

    Frame5 = frame("Frame5", QStringLiteral("测试日期："), 120, 2040, 7215, 855);
    Frame5->setToolTip(kDateTip);
    const int textLeft[5] = {240, 1320, 2160, 4200, 5040};
    const int textWidth[5] = {550, 315, 315, 315, 315};
    const int labelLeft[5] = {840, 1680, 2520, 4560, 5400};
    const char* units[5] = {"年", "月", "日", "时", "分"};
    const char* textNames[5] = {"Text5_0", "Text5_1", "Text5_2", "Text5_3", "Text5_4"};
    const char* labelNames[5] = {"Label3_0", "Label3_1", "Label3_2", "Label3_3", "Label3_4"};
    for (int i = 0; i < 5; ++i) {
        Text5[i] = edit(Frame5, textNames[i], i == 0 ? QStringLiteral("8888") : QStringLiteral("88"), textLeft[i], 360,
                        textWidth[i], 315, f105);
        Text5[i]->setToolTip(kDateTip);
        Label3[i] = label(Frame5, labelNames[i], QString::fromUtf8(units[i]), labelLeft[i], 405, 255, 255);
    }

    Frame1 = frame("Frame1", QStringLiteral("打印内容"), 120, 3000, 7215, 1695);
    Check1 = placed<QCheckBox>(Frame1, QStringLiteral("Check1"), 600, 480, 2055, 495, QStringLiteral("工况运行曲线"));
    Check1->setFont(f105);
    Check2 = placed<QCheckBox>(Frame1, QStringLiteral("Check2"), 600, 960, 1695, 495, QStringLiteral("数据"));
    Check2->setFont(f105);
    Label2 = label(Frame1, "Label2", QStringLiteral("选定范围"), 2400, 1125, 975, 255);
    Label2->setFont(f105);
    Text1 = edit(Frame1, "Text1", QString(), 3360, 1120, 735, 270, f9);
    Label1 = label(Frame1, "Label1", QStringLiteral("To"), 4200, 1120, 255, 375);
    Label1->setFont(f105);
    Text2 = edit(Frame1, "Text2", QString(), 4560, 1120, 735, 270, f9);

    Command2 = placed<QPushButton>(this, QStringLiteral("Command2"), 1320, 4920, 1215, 495, QStringLiteral("确  定"));
    Command2->setFont(f9);
    Command1 = placed<QPushButton>(this, QStringLiteral("Command1"), 4680, 4920, 1215, 495, QStringLiteral("关  闭"));
    Command1->setFont(f9);

    connect(Check2, &QCheckBox::clicked, this, &PrintWindow::Check2_Click);
    connect(Command1, &QPushButton::clicked, this, &PrintWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &PrintWindow::Command2_Click);

    openOutput = [this](const QString& name) { return openDefaultOutput(name, dialogs_); };
    Form_Load();
}

void PrintWindow::Form_Load() {
    const PrintHeader h = headerForFile(st_.file.WorkFile);
    const int date[5] = {h.year, h.month, h.day, h.hour, h.minute};
    for (int i = 0; i < 5; ++i) Text5[i]->setText(QString::number(date[i]));
    Text1->setText(QStringLiteral("1"));
    Text2->setText(QString::number(static_cast<double>(st_.file.SampleCount), 'g', 10));
    Check1->setChecked(false);
    Check2->setChecked(false);
    Check2_Click();
    // The texts of the last printout, once there has been one; the designed ones until then.
    if (const auto last = rememberIn_.isEmpty() ? std::nullopt : lastPrintedTexts(rememberIn_)) {
        Text3->setText(last->organisation);
        Text4->setText(last->device);
    }
}

void PrintWindow::Check2_Click() {
    const bool on = Check2->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2), static_cast<QWidget*>(Text1),
                       static_cast<QWidget*>(Text2)})
        w->setEnabled(on);
}

void PrintWindow::Command1_Click() { close(); }

PrintHeader PrintWindow::header() const {
    PrintHeader h;
    h.organisation = Text3->text();
    h.device = Text4->text();
    int* numbers[5] = {&h.year, &h.month, &h.day, &h.hour, &h.minute};
    for (int i = 0; i < 5; ++i) {
        h.typedDate[i] = Text5[i]->text();
        *numbers[i] = static_cast<int>(integerFromText(Text5[i]->text()).value_or(0));
    }
    return h;
}

std::unique_ptr<PrintOutput> PrintWindow::chooseOutput(const QString& name) {
    Result<std::unique_ptr<PrintOutput>> out = openOutput(name);
    if (!out) {
        messages_.show(out.message(), errorTitle(), MessageButtons::Ok);
        return nullptr;
    }
    // Nothing when the save dialog was cancelled: the operator's choice, not a fault.
    return std::move(*out);
}

Status PrintWindow::print(PrintOutput& out, const QString& name, const std::function<Status(Surface&)>& draw) {
    const Status s = printDocument(out, draw);
    if (s && !rememberIn_.isEmpty()) rememberPrintedTexts(rememberIn_, {Text3->text(), Text4->text()});
    // A cancelled printout is the operator's choice: the document is abandoned (a PDF is not written).
    if (!s && !printCancelled(s))
        messages_.show(QStringLiteral("“%1”未能打印：%2").arg(name, s.message()), errorTitle(), MessageButtons::Ok);
    return s;
}

Status PrintWindow::printTable(const PrintHeader& h, const TableRange& range) {
    const auto out = chooseOutput(QStringLiteral("数据"));
    if (!out) return {};
    return print(*out, QStringLiteral("数据"), [&](Surface& s) {
        // Made only once the output is chosen, and gone before any message: once started it shows itself on its
        // own timer, and modal over a save dialog still waiting for a name it would take that dialog's keyboard.
        // It keeps the windows painted while the pages are drawn on this thread (setValue processes events once
        // it shows), and its Cancel stops the printing after the page in hand. Modal to the whole program, so
        // nothing changes the measurement while it is printed.
        QProgressDialog progress(QStringLiteral("正在打印数据表……"), QStringLiteral("取消"), 0,
                                 static_cast<int>(std::min<int64_t>(tablePageCount(range), INT_MAX)), this);
        progress.setWindowTitle(QStringLiteral("打印数据"));
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setValue(0);
        return printDataTable(st_, s, h, range, [&](int64_t done, int64_t total) {
            progress.setLabelText(QStringLiteral("正在打印数据表：第 %1 页，共 %2 页").arg(done).arg(total));
            progress.setValue(static_cast<int>(std::min<int64_t>(done, INT_MAX)));
            return !progress.wasCanceled();
        });
    });
}

void PrintWindow::Command2_Click() {
    const PrintHeader h = header();
    const bool report = Check1->isChecked(), table = Check2->isChecked();
    TableRange range;
    if (table) {
        // The range is checked before either document starts, so a wrong number prints nothing at all; the
        // window stays open for the operator to correct it.
        const Result<int64_t> n = tableSampleCount(st_.file.WorkFile);
        const Result<TableRange> checked =
            n ? parseTableRange(Text1->text(), Text2->text(), *n) : Result<TableRange>(n.status());
        if (!checked) {
            messages_.show(checked.message(), errorTitle(), MessageButtons::Ok);
            return;
        }
        range = *checked;
        // A long table takes much paper and time: its length is confirmed before either document starts.
        const int64_t pages = tablePageCount(range);
        if (pages > kConfirmPages &&
            messages_.show(QStringLiteral("数据表第 %1 到 %2 组数据共 %3 页，确定打印吗？")
                               .arg(range.first)
                               .arg(range.last)
                               .arg(pages),
                           QStringLiteral("打印数据"), MessageButtons::YesNo) != MessageAnswer::Yes)
            return;
    }
    // A failed report is told to the operator; the table is still printed.
    if (report)
        if (const auto out = chooseOutput(QStringLiteral("工况运行曲线")))
            (void)print(*out, QStringLiteral("工况运行曲线"), [&](Surface& s) { return printReport(st_, s, h); });
    // Cancelled: the window stays, so a shorter range can be chosen.
    if (table && printCancelled(printTable(h, range))) return;
    close();
}

}  // namespace mervo
