#pragma once

// Internal to the main window: its state and the controls it addresses by name. Only the
// window's own source files include this header.

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/MainWindow.h"
#include "app/WindowControls.h"
#include "measure/MeasurementEngine.h"
#include "scope/ImageSurface.h"
#include "scope/ScopeState.h"
#include "scope/ScopeView.h"

namespace acw {

struct TGNCounter::Private : public ScopeView {
    explicit Private(TGNCounter* window);

    // Builds every control of the face at its designed place (WindowLayout.cpp).
    void buildLayout();
    void buildMenu();
    void connectScopeControls();

    // ScopeView: the two controls the renderer touches.
    bool lockCheckChecked() const override;
    void setLblTB1Text(const std::string& text) override;

    // Scope controls (WindowScopeControls.cpp).
    void SA_LR_Click();
    void cmdAutoScale_Click();
    void cmdSC1L_volup_Click();
    void cmdSC1L_voldn_Click();
    void cmdSC1R_volup_Click();
    void cmdSC1R_voldn_Click();
    void cmdTbase1Up_Click();
    void cmdTbase1Down_Click();
    void SplitCheck_Click();
    void LockCheck_Click();
    void Command1_Click();
    void showScalingMode();
    void checkManualSettings();
    void writeGainReadouts();
    // The blank black background of `nullscope` replaces the scope picture.
    void resetScopeToBlank();

    TGNCounter* q;
    std::unique_ptr<MeasurementEngine> engine;
    ScopeState scope;
    ImageSurface surface;
    std::function<void()> closeHandler;

    // Visible area below the menu bar; every control of the face is its child.
    QWidget* client = nullptr;
    GraphBoxWidget* GraphBox = nullptr;

    // Readout panel.
    QLabel* Label36 = nullptr;
    QLabel* Label57 = nullptr;
    QLabel* Label37 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label54 = nullptr;
    QLabel* Label35 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label41 = nullptr;
    QLabel* Label40 = nullptr;
    QLabel* Label42 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label2 = nullptr;  // "VOLTS LOCK" lamp
    QLabel* Label1 = nullptr;  // "AMPS LOCK" lamp
    ClickableLabel* Label15 = nullptr;
    ClickableLabel* Label16 = nullptr;

    // Scope control frame.
    CaptionFrame* ScopeFrame = nullptr;
    CommandButton* cmdSC1L_volup = nullptr;
    CommandButton* cmdSC1L_voldn = nullptr;
    CommandButton* cmdSC1R_volup = nullptr;
    CommandButton* cmdSC1R_voldn = nullptr;
    QLineEdit* LgainReadout = nullptr;
    QLineEdit* RgainReadout = nullptr;
    QCheckBox* SplitCheck = nullptr;
    QCheckBox* LockCheck = nullptr;
    CommandButton* SA_LR = nullptr;
    QLabel* LRlabel = nullptr;
    CommandButton* cmdAutoScale = nullptr;
    QLabel* lblTB1 = nullptr;
    CommandButton* cmdTbase1Up = nullptr;
    QLineEdit* TbaseReadout = nullptr;
    CommandButton* cmdTbase1Down = nullptr;
    CommandButton* Command1 = nullptr;
    CommandButton* cmdCalV = nullptr;
    CommandButton* cmdCalA = nullptr;
    QLineEdit* txtV = nullptr;
    QLineEdit* txtA = nullptr;

    // Sound-card picker.
    CaptionFrame* frmSoundcardPicker = nullptr;
    QListWidget* List1 = nullptr;
    ClickableLabel* Label64 = nullptr;

    // Hidden surfaces.
    HiddenSurface* Picture1 = nullptr;
    HiddenSurface* Picture2 = nullptr;
    HiddenSurface* nullscope = nullptr;
    HiddenSurface* ScopeBuff = nullptr;

    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
};

}  // namespace acw
