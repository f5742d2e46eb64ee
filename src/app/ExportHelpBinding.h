#pragma once

#include "export/ScopeExport.h"

namespace acw {

class HelpLauncher;
class TGNCounter;

// Wires the picture export and the help window into the main window:
// - "Save Screen1 as bmp" (`mnuSave1`) asks for a file name in a save dialog (filter
//   "All Files (*.bmp)", empty initial name, no default suffix; the dialog asks before replacing
//   an existing file) and runs `SaveFile1` on the window's scope: `exportMode` set, the scope
//   redrawn with white traces, its negative written as a 24-bit BMP file, `exportMode` cleared
//   and the scope redrawn in colour. Cancel writes nothing and says nothing; a file that could
//   not be written is reported in a warning box (title "AC-Wattmeter") naming the file and the
//   reason, with what to do as its informative text.
// - "Help" (`mnuHelp`) opens the single help window without an owner, or brings it to the front.
//
// Call once, after the window is built. The binding is a child of the window and dies with it,
// taking an open help window with it. Everything runs on the GUI thread.
void installExportAndHelp(TGNCounter& window);

// The same with the save dialog and the failure message replaced (for tests).
void installExportAndHelp(TGNCounter& window, SaveFileChooser chooser,
                          ExportFailureReporter reporter);

// The shutdown step "close the help window if it is open". Does nothing before
// installExportAndHelp or when no help window is open.
void closeHelpWindow(TGNCounter& window);

// The help launcher installed on the window, or nullptr before installExportAndHelp.
HelpLauncher* helpLauncherOf(TGNCounter& window);

// The window's scope as the export sees it: `exportMode` in scope(), displayscope1() and the
// image of graphBox().
class WindowExportTarget : public ExportTarget {
public:
    explicit WindowExportTarget(TGNCounter& window) : window_(window) {}
    void setExportMode(bool on) override;
    void redrawScope() override;
    QImage scopeImage() const override;

private:
    TGNCounter& window_;
};

}  // namespace acw
