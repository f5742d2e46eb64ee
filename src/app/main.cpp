// The program's entry: the instrument's window by default, headless measuring with --measure.

#include <cstdio>
#include <string>

#include "app/CommandLine.h"
#include "app/HeadlessMeasure.h"

#ifdef ACW_HAVE_WINDOW
#include "app/WindowMain.h"
#endif

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

        // ---- The window: the one place where the program starts it. ----
#ifdef ACW_HAVE_WINDOW
    using namespace acw;  // runWindow may be declared in the namespace or outside it
    return runWindow(argc, argv);
#else
    std::fputs("ac-wattmeter: this build has no window yet; use --measure (see --help)\n", stderr);
    return acw::kExitBadInput;
#endif
}
