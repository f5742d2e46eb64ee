#pragma once

namespace acw {

struct CommandLineOptions;

// The instrument with its window: creates the application and the main window, wires capture,
// calibration, export and help into it, runs the start-up sequence (settings file included),
// shows the window and runs the event loop until the program ends. A recording given with
// --input is checked first; a bad one is reported on stderr and the program ends with status 2
// before any window opens, and the function returns 2. Otherwise the program ends inside the
// function once the window, its audio streams and the application object are gone: standard
// output and error are flushed and the process exits with the program's status, without the
// process's exit handlers (the audio backend's teardown there can abort).
int runWindow(int argc, char** argv, const CommandLineOptions& options);

}  // namespace acw
