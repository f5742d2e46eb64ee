// The program's entry: the instrument's window by default, headless measuring with --measure,
// the list of input devices with --list-devices.

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/CommandLine.h"
#include "app/HeadlessLive.h"
#include "app/HeadlessMeasure.h"
#include "app/ProgramWindow.h"

namespace {

// Ends a headless run on the audio system once everything is written: the audio backend's
// teardown at exit can abort when its server connection is cut while a reply is in flight, and
// nothing is left for it to release that the system would not release anyway.
[[noreturn]] void endWithoutTeardown(int status) {
    if (std::fflush(stdout) != 0 && status == acw::kExitOk) status = acw::kExitFailedPartWay;
    std::fflush(stderr);
    std::_Exit(status);
}

}  // namespace

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
                endWithoutTeardown(acw::runLiveMeasure(options, stdout, stderr));
            }
            return acw::runHeadlessMeasure(options, stdout, stderr);
        case acw::CommandLineOptions::Action::ListDevices: {
            QCoreApplication app(argc, argv);
            endWithoutTeardown(acw::runListDevices(options, stdout, stderr));
        }
        case acw::CommandLineOptions::Action::Window:
            break;
    }

    return acw::runWindow(argc, argv, options);
}
