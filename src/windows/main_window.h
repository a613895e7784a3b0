// Form1, the main window: the live panel, the receive buttons and the menus from which every window is reached.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>

#include "acquisition/receive_session.h"
#include "analysis/trend_live.h"
#include "files/measurement_files.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/serial_port.h"
#include "shared/control_states.h"
#include "shared/shared_state.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace mervo {

class PictureBox;
class SettingsWindow;
class HelpWindow;
class MotorWindow;
class AnalysisWindow;
class PrintWindow;
class TrendWindow;
class AssessmentWindow;
class CsvExporter;

struct MainWindowContext {
    SharedState& state;
    const Clock& clock;
    FileDialogs& dialogs;
    MessageBoxes& messages;
    SerialPort& port;
    QString programDir;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowContext& ctx);
    ~MainWindow() override;

    // Controls under their designed names (also their objectName).
    std::array<PictureBox*, 15> Picture1{};
    std::array<QLabel*, 13> Label1{};
    std::array<QLabel*, 15> Label2{};
    QPushButton *Command1, *Command2, *Command3, *Command4;
    QMenu *FILE, *mnuTTT, *mnuSet, *mnuHELP;
    QAction *mnuFileOpen, *mnuCLOSE, *mnuSAVEFILE, *mnuSAVE_AS, *mnuEXIT, *mnuDAT, *mnuLJtime, *mnuMOTO, *mnuHE,
        *mnuABOUT;
    QAction* mnuTrend;  // 趋势分析, under 数据分析
    QAction* mnuAssess;  // 电动机能效评估, under 趋势分析
    QMenu* mnuRecent;  // 最近打开的文件: the files opened or saved last, filled as the 文件 menu opens
    QAction* mnuExport;  // 导出数据(CSV)…, while a measurement is in hand
    QAction* mnuStopTimed;  // 终止定时接收 (Esc), while a timed receive runs
    // 断开后等待重新连接, under 设置: a receive whose instrument goes away waits for it on the same port and goes on
    // in the same measurement; kept in mervo.ini, taken by each receive as it starts.
    QAction* mnuReconnect;
    QLabel* receiveStatus;  // the status line under the panel
    QLabel* nextNameplate;  // at its right: the nameplate the next receive records
    // 标记 (M), between them while a receive runs: a marker at its current sample; the key M does the same.
    QPushButton* markerButton;
    QAction* markerKey;
    CsvExporter* exporter;
    // Opens a measurement without the dialog, as Open does when it is enabled (recent files, a dropped file).
    void openPath(const QString& path);

    void Form_Load();
    void Picture1_Paint();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void mnuFileOpen_Click();
    void mnuCLOSE_Click();
    void mnuSAVEFILE_Click();
    void mnuSAVE_AS_Click();
    void mnuExport_Click();
    void mnuEXIT_Click();
    void mnuDAT_Click();
    void mnuLJtime_Click();
    void mnuMOTO_Click();
    void mnuHE_Click();
    void mnuABOUT_Click();
    void mnuTrend_Click();
    void mnuAssess_Click();
    void markerButton_Click();

    // The states of the buttons and menus as they stand.
    ControlStates controlStates() const;
    const ReceiveCycle& receive() const { return session_.cycle(); }
    AnalysisWindow* analysisWindow() const;
    TrendWindow* trendWindow() const;
    AssessmentWindow* assessmentWindow() const;

    // Ends the program (tests replace it).
    std::function<void()> endProgram;

protected:
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void buildPanel(QWidget* client);
    void buildMenus();
    void applyStates(const ControlStates& s);
    void applyFileResult(const FileOpResult& r);
    void applyFileResult(const FileOpResult& r, bool named);
    void fillRecentMenu();
    void drawValueBox(int n);
    void drawTimeBoxes();
    void drawTimeBoxes(float elapsed);
    void drawTimeParts(const TimeParts& t);
    // The status line and the elapsed time of a running receive.
    void showProgress();
    // The panel shows the latest block; a burst of blocks is drawn once.
    void showLatestBlock();
    void drawPanel();
    void clearPanel();
    // The trend window, when open, shows the measurement in hand after it changed.
    void trendFollows();
    void beginReceive(ReceiveMode mode);
    void onReceiveEnded(ReceiveEnd end);
    void afterReceive(ReceiveEnd end, ReceiveMode mode);
    void afterNothingReceived(ReceiveEnd end);
    void completeReceiveBeforeExit();
    void offerWorkFileRecovery();
    bool offerUnsavedRecording();
    // The nameplate: shown for the next receive, offered to the measurement in hand when confirmed, and the
    // operator told once when a file's nameplate takes the place of the one confirmed.
    void showNextNameplate();
    void nameplateChanged(std::optional<int> code);
    void sayIfNameplateReplaced(const QString& by);
    // The confirmed nameplate, kept in the side settings across a restart, and taken back at start-up.
    void setConfirmed(const std::optional<std::array<float, 7>>& nameplate, int code);
    void takeKeptNameplate();

    SharedState& st_;
    MessageBoxes& messages_;
    FileDialogs& dialogs_;
    QString dir_;
    MeasurementFiles files_;
    ReceiveSession session_;
    bool exiting_ = false;
    int64_t drawnBlocks_ = 0;
    int receivePort_ = 0;  // the COM number the receive listens on
    QPointer<SettingsWindow> settingsWindow_;
    QPointer<HelpWindow> helpWindow_;
    QPointer<MotorWindow> motorWindow_;
    QPointer<AnalysisWindow> analysisWindow_;
    QPointer<PrintWindow> printWindow_;
    QPointer<TrendWindow> trendWindow_;
    QPointer<AssessmentWindow> assessmentWindow_;
    // The assessment window on samples from..to of `file` (0, 0: all of it).
    void openAssessment(const QString& file, int64_t from, int64_t to);
    TrendLiveBuffer trendLive_;  // the blocks of the receive, for the trend window
    std::optional<std::array<float, 7>> confirmed_;  // confirmed in the motor window and not yet replaced
    int confirmedCode_ = 0;
    void openAnalysis(bool fromMenu);
};

}  // namespace mervo
