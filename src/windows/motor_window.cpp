#include "windows/motor_window.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <cmath>
#include <optional>

#include "motor/nameplate_entry.h"
#include "motor/operating_point.h"
#include "platform/qt_widgets/designed_controls.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "shared/number_format.h"
#include "shared/text_parse.h"
#include "shared/message_titles.h"

namespace mervo {

namespace {


// Where each nameplate value's label stands, and its unit.
struct Field {
    const char* unit;  // empty: none
    int labelLeft, top;
};
const Field kFields[7] = {
    {"", 360, 360},    {"kW", 360, 720},  {"A", 360, 1080}, {"%", 360, 1440},
    {"A", 2760, 720},  {"kW", 2760, 1080}, {"V", 2760, 1440},
};

}  // namespace

MotorWindow::MotorWindow(SharedState& state, MessageBoxes& messages, QString programDir, QWidget* parent)
    : QWidget(parent, Qt::Window), st_(state), messages_(messages), dir_(std::move(programDir)) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("电机参数调取"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(designedFont());
    setFixedTwipsSize(this, 6870, 6585);

    auto frame = [&](const QString& title, int left, int top, int w, int h, const char* name) {
        return placed<QGroupBox>(this, QLatin1String(name), left, top, w, h, title);
    };
    auto list = [&](QGroupBox* f, const char* name) {
        return placed<QListWidget>(f, QLatin1String(name), 120, 240, 6135, 960);
    };
    auto label = [&](QWidget* parent, const QString& text, int left, int top, int width) {
        return placed<QLabel>(parent, {}, left, top, width, 255, text);
    };
    auto button = [&](QWidget* parent, const QString& text, int left, int top, int w, int h, const char* name) {
        return placed<QPushButton>(parent, QLatin1String(name), left, top, w, h, text);
    };

    Frame3 = frame(QStringLiteral("内存电机参数分类"), 240, 0, 6375, 1335, "Frame3");
    Frame3->setToolTip(QStringLiteral("电机技术参数大类"));
    List1 = list(Frame3, "List1");
    Frame4 = frame(QString(), 240, 1440, 6375, 1335, "Frame4");
    Frame4->setToolTip(QStringLiteral("电机型号（可用鼠标双击或点击［详细资料］按钮得到技术数据）"));
    List2 = list(Frame4, "List2");

    Frame1 = frame(QStringLiteral("电动机技术数据"), 240, 2880, 6375, 2175, "Frame1");
    int unitIndex = 8;
    for (int i = 0; i < 7; ++i) {
        const Field& f = kFields[i];
        Label1[i + 1] = label(Frame1, QString::fromUtf8(kNameplateNames[i]), f.labelLeft, f.top, 840);
        Text2[i] = placed<QLineEdit>(Frame1, QStringLiteral("Text2_%1").arg(i), f.labelLeft + 840, f.top, 855, 270,
                                     QStringLiteral("0"));
        if (*f.unit) Label1[unitIndex++] = label(Frame1, QString::fromUtf8(f.unit), f.labelLeft + 1800, f.top, 400);
    }
    Command1 = button(Frame1, QStringLiteral("详细资料"), 5040, 720, 975, 375, "Command1");
    Command1->setToolTip(QStringLiteral("显示并使用该型电机技术参数"));
    Command2 = button(Frame1, QStringLiteral("取 消"), 5040, 1320, 975, 375, "Command2");
    Label2[2] = label(Frame1, QStringLiteral("如需输入自定义数据，请把技术数据编码设置为 0 。 "), 360, 1800, 5800);

    Frame2 = frame(QStringLiteral("技术数据编码"), 240, 5160, 6375, 855, "Frame2");
    Label2[0] = label(Frame2, QStringLiteral("请参阅《三相异步电动机_技术数据》"), 360, 240, 3200);
    Label2[1] = label(Frame2, QStringLiteral("输入编码 (1 - 6935) "), 1440, 480, 2100);
    Text1 = placed<QLineEdit>(Frame2, QStringLiteral("Text1"), 3600, 360, 855, 255, QStringLiteral("0"));
    Command4 = button(Frame2, QStringLiteral("确　定"), 4800, 240, 1215, 495, "Command4");
    Command3 = button(this, QStringLiteral("关　闭　窗　口"), 2400, 6120, 2055, 375, "Command3");

    onListClick(List1, [this] { List1_Click(); });
    onListClick(List2, [this] { List2_Click(); });
    connect(List2, &QListWidget::itemDoubleClicked, this, &MotorWindow::List2_DblClick);
    // Enter on the highlighted model takes it as a double click does, so the keys alone pick a motor.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter})
        connect(new QShortcut(QKeySequence(key), List2, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated, this,
                &MotorWindow::List2_DblClick);
    connect(Text1, &QLineEdit::textChanged, this, &MotorWindow::Text1_Change);
    connect(Command1, &QPushButton::clicked, this, &MotorWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &MotorWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &MotorWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &MotorWindow::Command4_Click);
    Form_Load();
}

bool MotorWindow::fail(const QString& text) {
    messages_.show(text, errorTitle(), MessageButtons::Ok);
    return false;
}

void MotorWindow::Form_Load() {
    // Opening the window withdraws the motor data until they are confirmed again.
    st_.motor.MotorDataValid = false;
    List1->clear();
    List2->clear();
    Frame4->setTitle(QString());
    categories_.clear();
    if (auto read = readCategories(QDir(dir_).filePath(QLatin1String(kCategoryFileName))))
        categories_ = std::move(*read);
    else
        fail(QStringLiteral("电机分类文件无法读取，只能输入自定义数据！\r\n%1").arg(read.message()));
    for (const CategoryEntry& c : categories_) List1->addItem(c.name);
    shown_ = st_.motor.nameplate();
    for (int i = 0; i < 7; ++i) {
        Text2[i]->setText(nameplateValueText(shown_[static_cast<size_t>(i)]));
        Text2[i]->home(false);  // a text wider than its field shows where it begins
    }
}

void MotorWindow::List1_Click() {
    List2->clear();
    Frame4->setTitle(QString());
    st_.motor.MotorDataValid = false;
    const int k = List1->currentRow();
    if (k < 0 || k >= static_cast<int>(categories_.size())) return;
    Frame4->setTitle(categories_[k].name);
    modelSerial_.clear();
    modelCode_.clear();
    const Result<std::vector<ModelEntry>> read = readModels(QDir(dir_).filePath(QLatin1String(kModelFileName)), categories_[k]);
    if (!read) {
        fail(QStringLiteral("电机型号文件无法读取！\r\n%1").arg(read.message()));
        return;
    }
    const std::vector<ModelEntry>& models = *read;
    for (size_t j = 0; j < models.size(); ++j) {
        modelSerial_.push_back(models[j].serial);
        modelCode_.push_back(models[j].code);
        List2->addItem(modelListItem(static_cast<int>(j) + 1, models[j].description));
    }
}

void MotorWindow::List2_Click() {
    const int j = List2->currentRow();
    if (j < 0 || j >= static_cast<int>(modelCode_.size())) return;
    for (QLineEdit* t : Text2) t->setText(QStringLiteral("0"));
    Text1->setText(QString::number(modelCode_[j]));
}

void MotorWindow::List2_DblClick() {
    List2_Click();
    showData();
}

void MotorWindow::Text1_Change() {
    const auto v = numberFromText(Text1->text());
    if (v && *v == 0) {
        List2->clear();
        Frame4->setTitle(QString());
    }
}

void MotorWindow::Command1_Click() { showData(); }
void MotorWindow::Command4_Click() { showData(); }

void MotorWindow::showData() {
    const Result<int> code = checkMotorCode(Text1->text());
    if (!code) {
        fail(code.message());
        if (code.status().code() == kCodeOutOfRange) cancel();
        return;
    }
    const int c = *code;
    std::array<float, 7> v{};
    if (c >= 1) {
        const auto read = readNameplate(QDir(dir_).filePath(QLatin1String(kNameplateFileName)), c);
        if (!read) {
            fail(QStringLiteral("电机技术数据文件无法读取！\r\n%1").arg(read.message()));
            return;
        }
        v = *read;
        // Nothing is taken over before the record proves complete: a record refused for a zero would otherwise
        // leave its poles and voltage beside the last nameplate's other values, for the next receive to record.
        for (int i = 0; i < 7; ++i) Text2[i]->setText(formatFixed3(v[i]));
    } else {
        std::array<QString, 7> texts;
        for (int i = 0; i < 7; ++i) texts[static_cast<size_t>(i)] = Text2[i]->text();
        int field = 0;
        const Result<std::array<float, 7>> typed = checkNameplateTexts(texts, &field, &shown_);
        if (!typed) {
            Text2[field]->setFocus();
            fail(typed.message());
            return;
        }
        v = *typed;
    }
    for (float x : v)
        if (x == 0.0f) {
            st_.motor.MotorDataValid = false;
            return;
        }
    confirmNameplate(st_.motor, v);
    if (!motorModelUsable(st_.motor))
        fail(QStringLiteral("该电机的空载功率不小于额定损耗（或为负值），无法计算负载率和效率！\r\n分析时将按无电机参数处理，请检查技术数据。"));
    if (onNameplateChanged) onNameplateChanged(c);
}

void MotorWindow::cancel() {
    st_.motor.MotorDataValid = false;
    st_.motor.setNameplate({0, 0, 0, 0, 0, 0, 0});
    Text1->setText(QStringLiteral("0"));
    Form_Load();
    if (onNameplateChanged) onNameplateChanged(std::nullopt);
}

void MotorWindow::Command2_Click() { cancel(); }
void MotorWindow::Command3_Click() { close(); }

}  // namespace mervo
