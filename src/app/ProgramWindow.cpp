#include "app/ProgramWindow.h"

#include <QApplication>
#include <cstdio>

#include "app/CalibrationBinding.h"
#include "app/CaptureBinding.h"
#include "app/CommandLine.h"
#include "app/ExportHelpBinding.h"
#include "app/HeadlessMeasure.h"
#include "app/Lifecycle.h"
#include "app/MainWindow.h"
#include "app/SettingsStore.h"
#include "capture/RecordingReader.h"

namespace acw {

int runWindow(int argc, char** argv, const CommandLineOptions& options) {
    if (options.inputPath) {
        // The same checks as headless measuring, before the window promises live readings.
        RecordingReader reader;
        const std::string error = reader.open(*options.inputPath);
        if (!error.empty()) {
            std::fprintf(stderr, "ac-wattmeter: %s\n", error.c_str());
            return kExitBadInput;
        }
    }

    QApplication app(argc, argv);
    TGNCounter window;
    CaptureBinding* capture = installCapture(window, options);
    installCalibration(window);
    installExportAndHelp(window);

    Lifecycle::Hooks hooks;
    hooks.closeHelpWindow = [&window] { closeHelpWindow(window); };
    Lifecycle lifecycle(window, *capture, SettingsStore::fromOption(options.settingsPath), hooks);
    lifecycle.startUp();
    window.show();
    return QApplication::exec();
}

}  // namespace acw
