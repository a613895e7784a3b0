// Form4, the About window, shown modal.
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;

namespace mervo {

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);
    QGroupBox* Frame1;
    QLabel *Label1, *Label2, *Label3;
    QPushButton* Command1;
    void Command1_Click();
};

}  // namespace mervo
