#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture/RecordingReader.h"

namespace acw {

// What the program was asked to do. With no option it opens the window; the source options
// (--demo, --input, --settings) apply to the window as well as to headless measuring.
struct CommandLineOptions {
    enum class Action {
        Window,       // no action option: the instrument's window
        Measure,      // --measure: headless measuring, CSV on stdout
        ListDevices,  // --list-devices: the input devices, one "id name" line each
        Help,         // --help
        Version,      // --version
    };

    Action action = Action::Window;
    bool demo = false;                         // --demo: the built-in demo adaptor as the source
    std::optional<std::string> inputPath;      // --input FILE: a recording as the source
    std::optional<std::string> settingsPath;   // --settings FILE: instead of the user's file
    std::optional<std::int64_t> buffers;       // --buffers N: at most N buffers (N >= 1)
    std::optional<int> device;                 // --device N: sound card N (-1 = the default)
    std::optional<std::string> channels;       // --channels L,R: the two channels of --input
    std::optional<std::string> configPath;     // --config FILE: the program's own configuration
    bool analysis = false;                     // --analysis: the power analysis columns
    bool harmonics = false;                    // --harmonics: and the harmonics columns
    bool energy = false;                       // --energy: the energy columns
    std::optional<double> currentDelayFrames;  // --current-delay D: frames, -4..4
    std::optional<std::string> recordPath;     // --record FILE: the captured input, WAV or FLAC
    std::optional<std::string> mqttUrl;        // --mqtt URL: publish every buffer

    // True when the source is a sound card (--device), measured live through the capture layer.
    bool measuresLive() const { return action == Action::Measure && device.has_value(); }
};

// The outcome of parsing: the options, or a one-line error (without the program name) when
// `error` is not empty. On error the options are incomplete and must not be used.
struct CommandLineParse {
    CommandLineOptions options;
    std::string error;

    bool ok() const { return error.empty(); }
};

// Parses the arguments after the program name (with Qt's command-line parser; no application
// object is needed). Options are long options, each given at most once; a value follows as the
// next argument or after "=" ("--input FILE", "--input=FILE"), also when it begins with "--".
// "--help" and "--version" end the parsing at once (what follows them is not checked). After
// the options are read the combination is checked: --measure and --list-devices exclude each
// other; --measure needs exactly one of --input, --demo and --device; --demo with --measure needs
// --buffers; --input, --demo and --device exclude each other; --buffers and --device are only for
// --measure; --settings is not for --list-devices. A --device id is a whole number of -1 or more
// (-1 = the system's default input); whether the device exists is found out when it is opened.
// --analysis, --harmonics (which needs --analysis), --energy and --current-delay (a number from
// -4 to 4) are only for --measure; --record only for --measure --device; --channels only with
// --input; --mqtt and --config not for --list-devices. The --mqtt URL and the --channels choice
// are checked by their users, before measuring starts.
//
// New options are added to the option table in CommandLine.cpp (name and whether a value
// follows), read into the options after parsing and, where they combine with others, checked.
CommandLineParse parseCommandLine(const std::vector<std::string>& arguments);
CommandLineParse parseCommandLine(int argc, const char* const* argv);

// The --channels choice of the options (none when not given). Returns "" or a one-line error.
std::string channelChoiceOf(const CommandLineOptions& options,
                            std::optional<ChannelChoice>& channels);

// The text of --help (several lines, ends with a line end) and of --version (one line).
std::string usageText();
std::string versionText();

}  // namespace acw
