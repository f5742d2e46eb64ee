#include "app/ExportHelpBinding.h"

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QObject>

#include "app/MainWindow.h"
#include "help/HelpWindow.h"
#include "scope/ImageSurface.h"
#include "scope/ScopeState.h"

namespace acw {

namespace {

const QString kBindingName = QStringLiteral("ExportHelpBinding");
const QString kLauncherName = QStringLiteral("HelpLauncher");

// Holds the injected dialog and message box for the lifetime of the window.
class ExportHelpBinding : public QObject {
public:
    ExportHelpBinding(TGNCounter& window, SaveFileChooser chooser, ExportFailureReporter reporter)
        : QObject(&window),
          window_(window),
          chooser_(std::move(chooser)),
          reporter_(std::move(reporter)) {
        setObjectName(kBindingName);
        launcher_ = new HelpLauncher(this);
        launcher_->setObjectName(kLauncherName);
        if (auto* save = window.findChild<QAction*>(QStringLiteral("mnuSave1"))) {
            connect(save, &QAction::triggered, this, [this] { saveScreen(); });
        }
        if (auto* help = window.findChild<QAction*>(QStringLiteral("mnuHelp"))) {
            connect(help, &QAction::triggered, launcher_, [this] { launcher_->showHelp(); });
        }
    }

    HelpLauncher* launcher() const { return launcher_; }

private:
    void saveScreen() {
        WindowExportTarget target(window_);
        runSaveScreenCommand(target, chooser_, reporter_);
    }

    TGNCounter& window_;
    SaveFileChooser chooser_;
    ExportFailureReporter reporter_;
    HelpLauncher* launcher_ = nullptr;
};

}  // namespace

void WindowExportTarget::setExportMode(bool on) { window_.scope().exportMode = on ? 1 : 0; }

void WindowExportTarget::redrawScope() { window_.displayscope1(); }

QImage WindowExportTarget::scopeImage() const { return window_.graphBox().image(); }

void installExportAndHelp(TGNCounter& window) {
    TGNCounter* owner = &window;
    SaveFileChooser chooser = [owner](const QString& filter, const QString& initialName) {
        // The save form: the user may name a new file, and is asked before an existing one is
        // replaced. No suffix is added to a typed name.
        return QFileDialog::getSaveFileName(owner, QString(), initialName, filter);
    };
    ExportFailureReporter reporter = [owner](const QString& path, const QString& reason) {
        QMessageBox box(QMessageBox::Warning, owner->windowTitle(),
                        exportFailureMessage(path, reason), QMessageBox::Ok, owner);
        box.setInformativeText(exportFailureAdvice(reason));
        box.exec();
    };
    installExportAndHelp(window, std::move(chooser), std::move(reporter));
}

void installExportAndHelp(TGNCounter& window, SaveFileChooser chooser,
                          ExportFailureReporter reporter) {
    // Installing again replaces the earlier wiring instead of doubling it.
    delete window.findChild<QObject*>(kBindingName, Qt::FindDirectChildrenOnly);
    new ExportHelpBinding(window, std::move(chooser), std::move(reporter));
}

HelpLauncher* helpLauncherOf(TGNCounter& window) {
    return window.findChild<HelpLauncher*>(kLauncherName);
}

void closeHelpWindow(TGNCounter& window) {
    if (HelpLauncher* launcher = helpLauncherOf(window)) {
        launcher->closeHelp();
    }
}

}  // namespace acw
