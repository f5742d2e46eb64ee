#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "measure/MeasurementObserver.h"
#include "scope/ImageSurface.h"

class QAction;
class QCheckBox;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QTimer;

namespace acw {

class AnalysisControls;
class CalibrationControls;
class EnergyControls;
class ProgramSettings;
class PublishingControls;
class RecordingControls;
class CaptionFrame;
class CaptureControls;
class ClickableLabel;
class CommandButton;
class HiddenSurface;
class MeasurementSession;
class MenuCommands;
class ReadoutPanel;
class ScopePanel;
class ScopeScreen;

// Every control of the instrument's face, by what it is. Each one carries the layout's name as
// its object name (given after the member).
struct MainWindowControls {
    QWidget* client = nullptr;           // the visible area below the menu bar
    ScopeScreen* scopeScreen = nullptr;  // GraphBox

    // Readout panel.
    QLabel* frequencyReadout = nullptr;     // Label36, "HZ"
    QLabel* voltsUnit = nullptr;            // Label57
    QLabel* voltsReadout = nullptr;         // Label37, "V"
    QLabel* voltsLargeReadout = nullptr;    // Label7, "AC LINE VOLTAGE"
    QLabel* ampsUnit = nullptr;             // Label54
    QLabel* ampsReadout = nullptr;          // Label35, "A"
    QLabel* ampsLargeReadout = nullptr;     // Label8, "AC LINE CURRENT"
    QLabel* voltAmpsReadout = nullptr;      // Label41, "VA"
    QLabel* wattsReadout = nullptr;         // Label40, "W"
    QLabel* powerFactorReadout = nullptr;   // Label42, "PF"
    QLabel* voltsCrestReadout = nullptr;    // Label3, "V-CF"
    QLabel* ampsCrestReadout = nullptr;     // Label5, "A-CF"
    QLabel* voltsLockLamp = nullptr;        // Label2, "VOLTS LOCK"
    QLabel* ampsLockLamp = nullptr;         // Label1, "AMPS LOCK"
    ClickableLabel* startButton = nullptr;  // Label15
    ClickableLabel* stopButton = nullptr;   // Label16

    // Scope control frame.
    CaptionFrame* scopeFrame = nullptr;              // ScopeFrame
    CommandButton* leftGainUpButton = nullptr;       // cmdSC1L_volup
    CommandButton* leftGainDownButton = nullptr;     // cmdSC1L_voldn
    CommandButton* rightGainUpButton = nullptr;      // cmdSC1R_volup
    CommandButton* rightGainDownButton = nullptr;    // cmdSC1R_voldn
    QLineEdit* leftGainBox = nullptr;                // LgainReadout
    QLineEdit* rightGainBox = nullptr;               // RgainReadout
    QCheckBox* splitTraceCheck = nullptr;            // SplitCheck
    QCheckBox* lockGainsCheck = nullptr;             // LockCheck
    CommandButton* channelModeButton = nullptr;      // SA_LR, "L/R"
    QLabel* channelModeLabel = nullptr;              // LRlabel
    CommandButton* scalingButton = nullptr;          // cmdAutoScale
    QLabel* timeBaseLabel = nullptr;                 // lblTB1, "... ms/div"
    CommandButton* longerTimeBaseButton = nullptr;   // cmdTbase1Up, "<"
    QLineEdit* timeBaseBox = nullptr;                // TbaseReadout
    CommandButton* shorterTimeBaseButton = nullptr;  // cmdTbase1Down, ">"
    CommandButton* triggerLockButton = nullptr;      // Command1, "Lock to L"
    CommandButton* calibrateVoltsButton = nullptr;   // cmdCalV
    CommandButton* calibrateAmpsButton = nullptr;    // cmdCalA
    QLineEdit* voltsReferenceBox = nullptr;          // txtV
    QLineEdit* ampsReferenceBox = nullptr;           // txtA

    // Sound-card picker.
    CaptionFrame* devicePicker = nullptr;        // frmSoundcardPicker
    QListWidget* deviceList = nullptr;           // List1
    ClickableLabel* pickerExitButton = nullptr;  // Label64

    // Surfaces that are never shown.
    HiddenSurface* exportCanvas = nullptr;  // Picture1
    HiddenSurface* whiteCanvas = nullptr;   // Picture2
    HiddenSurface* blankScope = nullptr;    // nullscope
    HiddenSurface* scopeBuffer = nullptr;   // ScopeBuff

    QTimer* voltsCalibrationTimer = nullptr;  // Timer1
    QTimer* ampsCalibrationTimer = nullptr;   // Timer2

    // Menu bar.
    QMenu* fileMenu = nullptr;                // mnuFile
    QAction* saveScopeAction = nullptr;       // mnuSave1, "Save Screen1 as bmp"
    QAction* logAction = nullptr;             // mnuLog, "Log Readings..."
    QAction* recordAction = nullptr;          // mnuRecord, "Record Input..."
    QAction* mqttAction = nullptr;            // mnuMqtt, "MQTT Publishing..."
    QAction* exitAction = nullptr;            // mnuExit
    QAction* soundcardSetupAction = nullptr;  // mnuSetup
    QMenu* viewMenu = nullptr;                // mnuView
    QAction* powerAnalysisAction = nullptr;   // mnuPowerAnalysis, "Power Analysis"
    QAction* energyAction = nullptr;          // mnuEnergy, "Energy"
    QAction* trendAction = nullptr;           // mnuTrend, "Trend"
    QAction* helpAction = nullptr;            // mnuHelp
    QLabel* mqttStatus = nullptr;             // lblMqtt, at the right end of the menu bar
};

// The main window "AC-Wattmeter" (object name "TGNCounter"): the instrument's face with the
// readout panel, the scope and its controls, the calibration, the sound-card picker and the menu
// commands, all following one measurement session.
//
// The window builds every control at its designed place and creates its parts: the readout panel
// and the scope (observers of the session), the capture controls (START, STOP, the picker), the
// calibration controls, the menu commands (picture export, help), and the instrument's further
// views and outputs: the power analysis window, energy and trend, the readings log and the input
// recording, the MQTT publisher. Nothing is drawn on the scope until start-up calls
// RefreshScopeControls and ApplyScopeSettings (through scopePanel()); the further parts take their
// settings from the program's configuration at start-up (applyProgramSettings()).
// Everything runs on the GUI thread; the window never blocks: buffers are measured by the
// session between user events.
//
// The session must outlive the window.
class MainWindow : public QMainWindow, private MeasurementObserver {
    Q_OBJECT
public:
    // The face in pixels: the designed client area below the menu bar is 499 x 570; the window
    // shows only its upper 499 x 429, so the sound-card picker at its designed place and the
    // hidden surfaces lie outside the visible part.
    static constexpr int kClientWidthPx = 499;
    static constexpr int kDesignedClientHeightPx = 570;
    static constexpr int kVisibleClientHeightPx = 429;

    explicit MainWindow(MeasurementSession& session, QWidget* parent = nullptr);
    ~MainWindow() override;

    const MainWindowControls& controls() const { return controls_; }
    MeasurementSession& session() { return session_; }
    ReadoutPanel& readoutPanel() { return *readoutPanel_; }
    ScopePanel& scopePanel() { return *scopePanel_; }
    CaptureControls& captureControls() { return *captureControls_; }
    CalibrationControls& calibrationControls() { return *calibrationControls_; }
    MenuCommands& menuCommands() { return *menuCommands_; }
    AnalysisControls& analysisControls() { return *analysisControls_; }
    EnergyControls& energyControls() { return *energyControls_; }
    RecordingControls& recordingControls() { return *recordingControls_; }
    PublishingControls& publishingControls() { return *publishingControls_; }
    ProgramSettings& programSettings() { return *programSettings_; }

    // Start-up: the program's configuration (the store the session names) to the parts that keep
    // settings there; the saved energy totals.
    void applyProgramSettings();
    // Shutdown: the energy totals saved, the log and the recording finished, the publisher
    // stopped ("offline").
    void finishOutputs();

    // Called from the close event (close box, system menu, "Exit") before the window closes.
    // The shutdown sequence is installed here by the application.
    void setCloseHandler(std::function<void()> handler);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildFace();
    void buildMenu();
    // The parts that follow the session, in the order they see a buffer.
    std::vector<MeasurementObserver*> observers();
    // MeasurementObserver: the window takes the keyboard focus when capture starts.
    void measured(const Measurement&) override {}
    void captureStarted() override;

    MeasurementSession& session_;
    ImageSurface scopeImage_;
    MainWindowControls controls_;
    std::unique_ptr<ScopePanel> scopePanel_;
    std::unique_ptr<ReadoutPanel> readoutPanel_;
    std::unique_ptr<CaptureControls> captureControls_;
    std::unique_ptr<CalibrationControls> calibrationControls_;
    std::unique_ptr<MenuCommands> menuCommands_;
    std::unique_ptr<ProgramSettings> programSettings_;
    std::unique_ptr<AnalysisControls> analysisControls_;
    std::unique_ptr<EnergyControls> energyControls_;
    std::unique_ptr<RecordingControls> recordingControls_;
    std::unique_ptr<PublishingControls> publishingControls_;
    std::function<void()> closeHandler_;
};

}  // namespace acw
