// Form3, the analysis window: cumulative and segmented curves of ten quantities, the sample data panel, the
// record query and the curve rotation. The analysis pass runs in time slices so the window stays responsive.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "analysis/analysis_pass.h"
#include "platform/qt_core/sliced_job.h"
#include "analysis/curves.h"
#include "analysis/record_query.h"
#include "platform/dialogs.h"
#include "shared/shared_state.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;

namespace mervo {

class PictureBox;

class AnalysisWindow : public QWidget {
    Q_OBJECT
public:
    AnalysisWindow(SharedState& state, MessageBoxes& messages, QString programDir, QWidget* parent = nullptr);
    ~AnalysisWindow() override;

    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4, *Frame5, *Frame6;
    std::array<PictureBox*, 20> Picture1{};
    std::array<PictureBox*, kCurves> Picture2{}, Picture3{};
    std::array<QLabel*, kValueLabels> Label5{}, Label6{};
    std::array<QLabel*, kTimeLabels> Label7{};
    QLabel *Label3, *Label4;
    std::array<QLabel*, 20> Label1{};  // panel captions 0..12, 13 sample count, 18 "瞬时数据", 19 "NO："
    std::array<QLabel*, 20> Label2{};  // panel units; 10 is the L/C indicator
    QScrollBar *HScroll1, *HScroll2;
    QLineEdit* Text1;
    QPushButton *Command1, *Command2, *Command3, *Command4;
    QMenu *mnuF3, *mnuFEN;
    QAction *mnu5, *mnu10, *mnu20, *mnuPr, *mnuExport, *mnuCl;
    QAction* mnuTrend;  // 趋势分析 (Ctrl+T)
    QAction* mnuAssess;  // 电动机能效评估

    void Form_Load();
    void Command1_Click();  // close
    void Command2_Click();  // analysis pass
    void Command3_Click();  // record query
    void Command4_Click();  // next curve
    void HScroll1_Change();
    void HScroll2_Change();
    void mnuSegment_Click(int segmentCount);
    void mnuPr_Click();

    int CurrentCurve() const { return currentCurve_; }
    bool analysing() const { return slicer_.active(); }
    bool analysed() const { return analysed_; }

    // Closing shows the main window again; F12 ends the program (both set by the main window).
    std::function<void()> onClosed;
    std::function<void()> endProgram;
    // Opens the print window (when printing is available).
    std::function<void()> openPrint;
    // Opens the trend window.
    std::function<void()> openTrend;
    // Opens the motor assessment of the measurement.
    std::function<void()> openAssessment;
    // Exports the measurement as CSV (the pop-up menu's entry); unset, the entry stays disabled.
    std::function<void()> exportCsv;

protected:
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    void buildPanel();
    void buildCurves();
    void buildQueryAndButtons();
    void showCurve(int c);
    void showTicks();
    void showPanel(const PanelContent& p);
    void sliceDone(bool over);
    void endPass(bool complete);
    void setAnalysing(bool on);
    void query(int64_t no);
    int64_t sliderNumber() const;

    SharedState& st_;
    MessageBoxes& messages_;
    QString dir_;
    CurveBoxes boxes_;
    std::unique_ptr<AnalysisPass> pass_;
    SegmentedCurveState seg_;
    SlicedJob slicer_;
    int currentCurve_ = 0;
    bool analysed_ = false;
};

}  // namespace mervo
