#pragma once

namespace acw {

struct CommandLineOptions;

// The instrument with its window: creates the application and the main window, wires capture,
// calibration, export and help into it, runs the start-up sequence (settings file included),
// shows the window and runs the event loop until the program ends. A recording given with
// --input is checked first; a bad one is reported on stderr and the program ends with status 2
// before any window opens. Returns the program's exit status.
int runWindow(int argc, char** argv, const CommandLineOptions& options);

}  // namespace acw
