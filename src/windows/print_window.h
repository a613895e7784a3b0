// Form6, the print settings window: the header fields of the printouts, what to print and the table's range.
// OK prints the curve report and/or the data table, each as a document of its own, then closes the window.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "platform/dialogs.h"
#include "platform/printer.h"
#include "platform/surface.h"
#include "printing/data_table.h"
#include "printing/print_job.h"
#include "shared/shared_state.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mervo {

class PrintWindow : public QWidget {
    Q_OBJECT
public:
    // `rememberIn`, a program directory, keeps the organisation and device texts of the last printout there,
    // and a later window starts with them; empty, the window starts with its designed texts.
    PrintWindow(SharedState& state, FileDialogs& dialogs, MessageBoxes& messages, QWidget* parent = nullptr,
                QString rememberIn = QString());

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

    // Opens each document's output (nothing when the operator cancels); tests replace it.
    std::function<Result<std::unique_ptr<PrintOutput>>(const QString& documentName)> openOutput;

private:
    // The output of one document, chosen before anything of it is drawn; nothing when the operator cancelled or
    // it cannot be opened (the operator is told why).
    std::unique_ptr<PrintOutput> chooseOutput(const QString& name);
    // Prints one document on its chosen output, telling the operator of a failure; what became of it.
    Status print(PrintOutput& out, const QString& name, const std::function<Status(Surface&)>& draw);
    // The data table over `range`, behind a progress window that can cancel it; what became of it.
    Status printTable(const PrintHeader& h, const TableRange& range);

    SharedState& st_;
    FileDialogs& dialogs_;
    MessageBoxes& messages_;
    QString rememberIn_;
};

}  // namespace mervo
