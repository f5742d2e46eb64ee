// The program's entry: the instrument's window by default, headless measuring with --measure,
// the list of input devices with --list-devices.

#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "app/CommandLine.h"
#include "app/HeadlessLive.h"
#include "app/HeadlessMeasure.h"
#include "app/ProgramWindow.h"

int main(int argc, char** argv) {
    const acw::CommandLineParse parsed = acw::parseCommandLine(argc, argv);
    if (!parsed.ok()) {
        std::fprintf(stderr, "ac-wattmeter: %s\n", parsed.error.c_str());
        return acw::kExitBadInput;
    }
    const acw::CommandLineOptions& options = parsed.options;
    switch (options.action) {
        case acw::CommandLineOptions::Action::Help:
            std::fputs(acw::usageText().c_str(), stdout);
            return std::fflush(stdout) == 0 ? acw::kExitOk : acw::kExitFailedPartWay;
        case acw::CommandLineOptions::Action::Version:
            std::fputs(acw::versionText().c_str(), stdout);
            return std::fflush(stdout) == 0 ? acw::kExitOk : acw::kExitFailedPartWay;
        case acw::CommandLineOptions::Action::Measure:
            if (options.measuresLive()) {
                // The capture layer needs an application object and its event loop.
                QCoreApplication app(argc, argv);
                return acw::runLiveMeasure(options, stdout, stderr);
            }
            return acw::runHeadlessMeasure(options, stdout, stderr);
        case acw::CommandLineOptions::Action::ListDevices: {
            QCoreApplication app(argc, argv);
            return acw::runListDevices(options, stdout, stderr);
        }
        case acw::CommandLineOptions::Action::Window:
            break;
    }

    return acw::runWindow(argc, argv, options);
}
