// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace acw::bench {

// main() of a benchmark that needs the application object: the offscreen platform unless
// QT_QPA_PLATFORM names another, then every benchmark selected on the command line.
int runWithApplication(int argc, char** argv);

}  // namespace acw::bench
