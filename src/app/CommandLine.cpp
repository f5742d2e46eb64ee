#include "app/CommandLine.h"

#include <array>
#include <charconv>
#include <string_view>
#include <system_error>

#ifndef ACW_VERSION
#define ACW_VERSION "unknown"
#endif

namespace acw {

namespace {

// What an option does with the options struct. A handler for an option with a value receives
// the value; it returns an error (without the option's name) or "".
using OptionHandler = std::string (*)(CommandLineOptions&, const std::string& value);

struct OptionEntry {
    std::string_view name;  // with the leading "--"
    bool takesValue;
    OptionHandler apply;
};

std::string setMeasure(CommandLineOptions& o, const std::string&) {
    o.action = CommandLineOptions::Action::Measure;
    return {};
}

std::string setListDevices(CommandLineOptions& o, const std::string&) {
    o.action = CommandLineOptions::Action::ListDevices;
    return {};
}

std::string setDemo(CommandLineOptions& o, const std::string&) {
    o.demo = true;
    return {};
}

std::string setInput(CommandLineOptions& o, const std::string& value) {
    if (value.empty()) return "needs a file name";
    o.inputPath = value;
    return {};
}

std::string setSettings(CommandLineOptions& o, const std::string& value) {
    if (value.empty()) return "needs a file name";
    o.settingsPath = value;
    return {};
}

std::string setBuffers(CommandLineOptions& o, const std::string& value) {
    std::int64_t n = 0;
    const char* last = value.data() + value.size();
    const auto [ptr, ec] = std::from_chars(value.data(), last, n, 10);
    if (value.empty() || ec != std::errc() || ptr != last || n < 1)
        return "bad value '" + value + "': a whole number of 1 or more is needed";
    o.buffers = n;
    return {};
}

std::string setDevice(CommandLineOptions& o, const std::string& value) {
    int id = 0;
    const char* last = value.data() + value.size();
    const auto [ptr, ec] = std::from_chars(value.data(), last, id, 10);
    if (value.empty() || ec != std::errc() || ptr != last || id < -1)
        return "bad value '" + value + "': a device id (0, 1, ... as listed, or -1) is needed";
    o.device = id;
    return {};
}

std::string setHelp(CommandLineOptions& o, const std::string&) {
    o.action = CommandLineOptions::Action::Help;
    return {};
}

std::string setVersion(CommandLineOptions& o, const std::string&) {
    o.action = CommandLineOptions::Action::Version;
    return {};
}

constexpr std::array<OptionEntry, 9> kOptions{{
    {"--measure", false, setMeasure},
    {"--list-devices", false, setListDevices},
    {"--device", true, setDevice},
    {"--input", true, setInput},
    {"--demo", false, setDemo},
    {"--buffers", true, setBuffers},
    {"--settings", true, setSettings},
    {"--help", false, setHelp},
    {"--version", false, setVersion},
}};

const OptionEntry* findOption(std::string_view name) {
    for (const OptionEntry& entry : kOptions)
        if (entry.name == name) return &entry;
    return nullptr;
}

// The checks that concern several options at once.
std::string checkCombination(const CommandLineOptions& o, bool measureGiven, bool listGiven) {
    using Action = CommandLineOptions::Action;
    if (measureGiven && listGiven) return "--measure and --list-devices cannot be used together";
    if (o.demo && o.inputPath) return "--input and --demo cannot be used together";
    if (o.device && o.inputPath) return "--device and --input cannot be used together";
    if (o.device && o.demo) return "--device and --demo cannot be used together";
    if (o.action == Action::Measure) {
        if (!o.demo && !o.inputPath && !o.device)
            return "--measure needs --input FILE, --demo or --device N";
        if (o.demo && !o.buffers) return "--measure --demo needs --buffers N";
        return {};
    }
    if (o.buffers) return "--buffers is used only with --measure";
    if (o.device) return "--device is used only with --measure";
    if (o.action == Action::ListDevices && o.settingsPath)
        return "--settings is not used with --list-devices";
    return {};
}

}  // namespace

CommandLineParse parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLineParse result;
    CommandLineOptions& options = result.options;
    std::vector<std::string_view> seen;
    bool measureGiven = false;
    bool listGiven = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() < 3 || argument.compare(0, 2, "--") != 0) {
            if (argument.size() > 1 && argument[0] == '-' && argument != "--")
                result.error = "unknown option '" + argument + "' (try --help)";
            else
                result.error = "unexpected argument '" + argument + "' (try --help)";
            return result;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = std::string_view(argument).substr(0, equals);
        const OptionEntry* entry = findOption(name);
        if (!entry) {
            result.error = "unknown option '" + std::string(name) + "' (try --help)";
            return result;
        }
        for (std::string_view earlier : seen) {
            if (earlier == entry->name) {
                result.error = std::string(entry->name) + " given more than once";
                return result;
            }
        }
        seen.push_back(entry->name);
        measureGiven = measureGiven || entry->name == "--measure";
        listGiven = listGiven || entry->name == "--list-devices";

        std::string value;
        if (entry->takesValue) {
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                result.error = std::string(entry->name) + " needs a value";
                return result;
            }
        } else if (equals != std::string::npos) {
            result.error = std::string(entry->name) + " takes no value";
            return result;
        }

        const std::string problem = entry->apply(options, value);
        if (!problem.empty()) {
            result.error = std::string(entry->name) + ": " + problem;
            return result;
        }
        if (options.action == CommandLineOptions::Action::Help ||
            options.action == CommandLineOptions::Action::Version)
            return result;
    }

    result.error = checkCombination(options, measureGiven, listGiven);
    return result;
}

CommandLineParse parseCommandLine(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : "");
    return parseCommandLine(arguments);
}

std::string usageText() {
    return "Usage: ac-wattmeter [--demo | --input FILE] [--settings FILE]\n"
           "       ac-wattmeter --measure --input FILE [--buffers N] [--settings FILE]\n"
           "       ac-wattmeter --measure --demo --buffers N [--settings FILE]\n"
           "       ac-wattmeter --measure --device N [--buffers N] [--settings FILE]\n"
           "       ac-wattmeter --list-devices [--demo | --input FILE]\n"
           "\n"
           "AC power analyser for a sound card's stereo line input (left = voltage,\n"
           "right = current). Without --measure the instrument's window opens.\n"
           "\n"
           "  --measure        measure without a window and print one CSV line per buffer:\n"
           "                   time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock\n"
           "  --input FILE     a stereo recording at 11025 Hz (WAV and other formats) as the\n"
           "                   source; a last partial buffer of 4096 frames is not measured\n"
           "  --demo           the built-in demo adaptor (120 V, 60 Hz, about 5 A) as the source\n"
           "  --device N       sound card N as listed by --list-devices (-1 = the system's\n"
           "                   default input), measured live until --buffers N or Ctrl-C\n"
           "  --list-devices   list the input devices, one 'id name' line each\n"
           "  --buffers N      measure at most N buffers (required with --measure --demo)\n"
           "  --settings FILE  take the calibration from FILE instead of the user's\n"
           "                   wattmeter.ini; headless measuring never writes it\n"
           "  --help           show this text\n"
           "  --version        show the program's version\n"
           "\n"
           "Exit status: 0 done (also when stopped by Ctrl-C), 1 reading, capturing or writing\n"
           "failed part-way, 2 bad options or input, or the sound card did not open.\n";
}

std::string versionText() { return std::string("ac-wattmeter ") + ACW_VERSION + "\n"; }

}  // namespace acw
