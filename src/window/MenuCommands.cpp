#include "window/MenuCommands.h"

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>

#include "help/HelpWindow.h"
#include "scope/ImageSurface.h"
#include "window/MainWindow.h"
#include "window/ScopePanel.h"

namespace acw {

namespace {

// The scope panel as the picture export sees it.
class ScopeExportTarget : public ExportTarget {
public:
    explicit ScopeExportTarget(ScopePanel& scope) : scope_(scope) {}
    void setExportMode(bool on) override { scope_.state().exportMode = on ? 1 : 0; }
    void redrawScope() override { scope_.displayscope1(); }
    QImage scopeImage() const override { return scope_.image().image(); }

private:
    ScopePanel& scope_;
};

}  // namespace

MenuCommands::MenuCommands(const MainWindowControls& controls, ScopePanel& scope, QWidget* window)
    : QObject(window), scope_(scope), helpLauncher_(new HelpLauncher(this)) {
    chooser_ = [window](const QString& filter, const QString& initialName) {
        // The user may name a new file, and is asked before an existing one is replaced. No
        // suffix is added to a typed name.
        return QFileDialog::getSaveFileName(window, QString(), initialName, filter);
    };
    reporter_ = [window](const QString& path, const QString& reason) {
        QMessageBox box(QMessageBox::Warning, window->windowTitle(),
                        exportFailureMessage(path, reason), QMessageBox::Ok, window);
        box.setInformativeText(exportFailureAdvice(reason));
        box.exec();
    };
    connect(controls.saveScopeAction, &QAction::triggered, this, [this] { saveScope(); });
    connect(controls.helpAction, &QAction::triggered, helpLauncher_,
            [this] { helpLauncher_->showHelp(); });
}

ExportOutcome MenuCommands::saveScope() {
    ScopeExportTarget target(scope_);
    return runSaveScreenCommand(target, chooser_, reporter_);
}

void MenuCommands::closeHelpWindow() { helpLauncher_->closeHelp(); }

}  // namespace acw
