// The program's entry: the instrument's window by default, headless measuring with --measure.

#include <cstdio>
#include <string>

#include "app/CommandLine.h"
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
            return acw::runHeadlessMeasure(options, stdout, stderr);
        case acw::CommandLineOptions::Action::Window:
            break;
    }

    return acw::runWindow(argc, argv, options);
}
