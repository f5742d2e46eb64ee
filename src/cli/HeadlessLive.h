#pragma once

#include <cstdio>

#include "cli/CommandLine.h"

namespace acw {

// Headless work that needs the capture layer (Qt Core and Multimedia, no widgets). Both calls
// need a QCoreApplication to exist (and no other event loop to run) on the calling thread. From
// the first call on, Qt's own warnings are kept out of stderr (the first one is added to a
// device error's reason).
//
// The audio backend of Qt 6.4 can abort while it is torn down at the end of the program (its
// server connection is cut while a reply is being dispatched); a caller that ends the program
// right after these calls should flush its output and leave with std::_Exit, as main() does.

// --list-devices: writes one line "id name" per input device to `out`, ids 0..n-1 in the order
// the capture layer lists them, names as it gives them (at most 31 characters; a control
// character in a name is written as a blank so that every device stays on one line). With
// --demo or --input FILE the list is that single source, as in the window; a recording is
// checked first, as the window does, and a bad one is refused with status 2. No device: nothing
// is written. Returns kExitOk, kExitBadInput or kExitFailedPartWay (writing failed).
int runListDevices(const CommandLineOptions& options, std::FILE* out, std::FILE* err);

// --measure --device N: measures sound card N (-1 = the system's default input) through the
// capture cycle, as START does in the window, and writes the CSV of headless measuring to `out`,
// each line as soon as its buffer is measured. time_s is the start of the buffer since capture
// began: the count of buffers the card delivered before it (buffers dropped while measuring
// fell behind included) times 4096 / 11025 s.
//
// It ends after --buffers N lines, or at SIGINT or SIGTERM (the handlers are installed only for
// the run and only write to a pipe; the event loop does the rest; a second signal ends the
// program at once), with status kExitOk and everything printed so far flushed. A device that
// does not open: one line naming the device and the reason, kExitBadInput, no CSV. A device that
// stops delivering (lost, or no buffer for 3 s): one line, kExitFailedPartWay, the CSV printed so
// far is complete line by line. Errors go to `err` beginning with "ac-wattmeter: ".
int runLiveMeasure(const CommandLineOptions& options, std::FILE* out, std::FILE* err);

}  // namespace acw
