// The program's entry: the instrument's window by default, headless measuring with --measure,
// the list of input devices with --list-devices.

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/ProgramWindow.h"
#include "cli/CommandLine.h"
#include "cli/HeadlessLive.h"
#include "cli/HeadlessMeasure.h"

namespace {

// Ends a headless run on the audio system once everything is written: the audio backend's
// teardown at exit can abort when its server connection is cut while a reply is in flight, and
// nothing is left for it to release that the system would not release anyway.
[[noreturn]] void endWithoutTeardown(int status) {
    if (std::fflush(stdout) != 0 && status == acw::kExitOk) status = acw::kExitFailedPartWay;
    std::fflush(stderr);
    std::_Exit(status);
}

// --help and --version: the text on stdout, or a line on stderr saying why it could not be
// written (a full disk, a closed pipe).
int printText(const std::string& text) {
    const bool written = std::fputs(text.c_str(), stdout) >= 0;
    if (written && std::fflush(stdout) == 0) return acw::kExitOk;
    std::fprintf(stderr, "ac-wattmeter: writing the output failed (%s)\n", std::strerror(errno));
    return acw::kExitFailedPartWay;
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
            return printText(acw::usageText());
        case acw::CommandLineOptions::Action::Version:
            return printText(acw::versionText());
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
