// Form6, the print settings window: the header fields of the printouts, what to print and the table's range.
// OK prints the curve report and/or the data table, each as a document of its own, then closes the window.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "platform/dialogs.h"
#include "platform/surface.h"
#include "printing/print_job.h"
#include "shared/shared_state.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mervo {

// Where one print document goes. finish() ends it; abandon() discards a document that failed on the way, so
// nothing half-printed is left behind as if it were done.
class PrintOutput {
public:
    virtual ~PrintOutput() = default;
    virtual Surface& surface() = 0;
    virtual bool finish(QString* error) = 0;
    virtual void abandon() = 0;
};

// The default printer, or when there is none a PDF file the operator names in a save dialog. Returns nothing
// when the operator cancels (error left empty) or the output cannot be opened (with the reason).
std::unique_ptr<PrintOutput> openDefaultOutput(const QString& documentName, FileDialogs& dialogs, QString* error);

class PrintWindow : public QWidget {
    Q_OBJECT
public:
    PrintWindow(SharedState& state, FileDialogs& dialogs, MessageBoxes& messages, QWidget* parent = nullptr);

    QGroupBox *Frame1, *Frame3, *Frame4, *Frame5;
    QLineEdit *Text1, *Text2, *Text3, *Text4;
    std::array<QLineEdit*, 5> Text5{};
    std::array<QLabel*, 5> Label3{};
    QCheckBox *Check1, *Check2;
    QLabel *Label1, *Label2;
    QPushButton *Command1, *Command2;

    void Form_Load();
    void Check2_Click();
    void Command1_Click();  // close
    void Command2_Click();  // print, then close

    // The header the printouts get from the fields as they stand.
    PrintHeader header() const;

    // Opens each document's output; tests replace it.
    std::function<std::unique_ptr<PrintOutput>(const QString& documentName, QString* error)> openOutput;

private:
    bool printDocument(const QString& name, const std::function<bool(Surface&, QString*)>& draw);

    SharedState& st_;
    FileDialogs& dialogs_;
    MessageBoxes& messages_;
};

}  // namespace mervo
