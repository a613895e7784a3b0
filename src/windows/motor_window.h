// Form5, the motor parameter window: pick a catalogue motor by category and model or by code, or type the
// seven nameplate values with code 0.
#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "motor/catalogue.h"
#include "platform/dialogs.h"
#include "shared/shared_state.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

#include <functional>
#include <optional>

namespace mervo {

class MotorWindow : public QWidget {
    Q_OBJECT
public:
    MotorWindow(SharedState& state, MessageBoxes& messages, QString programDir, QWidget* parent = nullptr);

    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4;
    QListWidget *List1, *List2;
    std::array<QLabel*, 14> Label1{};  // 1..13 used
    std::array<QLabel*, 3> Label2{};
    std::array<QLineEdit*, 7> Text2{};
    QLineEdit* Text1;
    QPushButton *Command1, *Command2, *Command3, *Command4;

    void Form_Load();
    void List1_Click();
    void List2_Click();
    void List2_DblClick();
    void Text1_Change();
    void Command1_Click();  // 详细资料
    void Command2_Click();  // 取 消
    void Command3_Click();  // 关闭窗口
    void Command4_Click();  // 确 定

    const std::vector<int>& ModelCode() const { return modelCode_; }

    // Told when a nameplate is confirmed (its catalogue code, 0 for one typed in) and when it is cancelled
    // (nothing), after the state holds it.
    std::function<void(std::optional<int> code)> onNameplateChanged;

private:
    void showData();
    void cancel();
    bool fail(const QString& text);

    SharedState& st_;
    MessageBoxes& messages_;
    QString dir_;
    std::vector<CategoryEntry> categories_;
    std::vector<int> modelSerial_, modelCode_;
    std::array<float, 7> shown_{};  // the nameplate the fields were filled with when the window loaded
};

}  // namespace mervo
