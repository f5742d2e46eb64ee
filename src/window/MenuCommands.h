#pragma once

#include <QObject>

#include "export/ScopeExport.h"

namespace acw {

class HelpLauncher;
class ScopePanel;
struct MainWindowControls;

// The menu commands of the main window that are not capture or shutdown:
// - "Save Screen1 as bmp" asks for a file name in a save dialog (filter "All Files (*.bmp)",
//   empty initial name, no default suffix; the dialog asks before replacing an existing file)
//   and runs `SaveFile1` on the scope: `exportMode` set, the scope redrawn with white traces,
//   its negative written as a 24-bit BMP file, `exportMode` cleared and the scope redrawn in
//   colour. Cancel writes nothing and says nothing; a file that could not be written is reported
//   in a warning box (title "AC-Wattmeter") naming the file and the reason, with what to do.
// - "Help" opens the single help window without an owner, or brings it to the front.
//
// Made once by the main window; dies with it, taking an open help window with it. Everything
// runs on the GUI thread. Tests replace the dialog and the failure message.
class MenuCommands : public QObject {
    Q_OBJECT
public:
    MenuCommands(const MainWindowControls& controls, ScopePanel& scope, QWidget* window);

    void setSaveFileChooser(SaveFileChooser chooser) { chooser_ = std::move(chooser); }
    void setExportFailureReporter(ExportFailureReporter reporter) {
        reporter_ = std::move(reporter);
    }

    // "Save Screen1 as bmp".
    ExportOutcome saveScope();
    HelpLauncher& helpLauncher() { return *helpLauncher_; }
    // The shutdown step "close the help window if it is open".
    void closeHelpWindow();

private:
    ScopePanel& scope_;
    SaveFileChooser chooser_;
    ExportFailureReporter reporter_;
    HelpLauncher* helpLauncher_ = nullptr;
};

}  // namespace acw
