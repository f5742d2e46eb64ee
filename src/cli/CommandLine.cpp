#include "cli/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <charconv>
#include <string_view>
#include <system_error>

#ifndef ACW_VERSION
#define ACW_VERSION "unknown"
#endif

namespace acw {

namespace {

// The options, each with whether a value follows it ("--input FILE" or "--input=FILE").
struct OptionName {
    const char* name;
    bool takesValue;
};
constexpr OptionName kOptions[] = {
    {"measure", false},      {"list-devices", false}, {"device", true},     {"input", true},
    {"demo", false},         {"buffers", true},       {"settings", true},   {"channels", true},
    {"config", true},        {"analysis", false},     {"harmonics", false}, {"energy", false},
    {"current-delay", true}, {"record", true},        {"mqtt", true},       {"help", false},
    {"version", false},
};

bool takesValue(std::string_view name) {
    for (const OptionName& option : kOptions)
        if (name == option.name) return option.takesValue;
    return false;
}

std::string dashed(const QString& name) { return "--" + name.toStdString(); }

// --help and --version end the reading at once: whatever follows them is not looked at. A value
// that happens to read "--help" is still the value of its option.
std::vector<std::string> upToHelp(const std::vector<std::string>& arguments) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--help" || a == "--version")
            return {arguments.begin(), arguments.begin() + static_cast<std::ptrdiff_t>(i + 1)};
        if (a.rfind("--", 0) == 0 && a.find('=') == std::string::npos && takesValue(a.substr(2)))
            ++i;
    }
    return arguments;
}

// The argument as the user typed it for an option name the parser did not know.
std::string spelledAs(const std::vector<std::string>& arguments, const QString& name) {
    for (const std::string& a : arguments) {
        const std::string_view bare = std::string_view(a).substr(0, a.find('='));
        std::string_view stripped = bare;
        while (!stripped.empty() && stripped.front() == '-') stripped.remove_prefix(1);
        if (stripped == name.toStdString() && stripped.size() != bare.size())
            return std::string(bare);
    }
    return "-" + name.toStdString();
}

std::string readWholeNumber(const std::string& value, long long low, long long high,
                            long long& out) {
    const char* last = value.data() + value.size();
    const auto [ptr, ec] = std::from_chars(value.data(), last, out, 10);
    if (value.empty() || ec != std::errc() || ptr != last || out < low || out > high)
        return "bad value '" + value + "'";
    return {};
}

// The checks that concern several options at once.
std::string checkCombination(const CommandLineOptions& o, bool measureGiven, bool listGiven) {
    using Action = CommandLineOptions::Action;
    if (measureGiven && listGiven) return "--measure and --list-devices cannot be used together";
    if (o.demo && o.inputPath) return "--input and --demo cannot be used together";
    if (o.device && o.inputPath) return "--device and --input cannot be used together";
    if (o.device && o.demo) return "--device and --demo cannot be used together";
    if (o.channels && !o.inputPath) return "--channels is used only with --input";
    if (o.harmonics && !o.analysis) return "--harmonics needs --analysis";
    if (o.action == Action::Measure) {
        if (!o.demo && !o.inputPath && !o.device)
            return "--measure needs --input FILE, --demo or --device N";
        if (o.demo && !o.buffers) return "--measure --demo needs --buffers N";
        if (o.recordPath && !o.device) return "--record is used only with --measure --device";
        return {};
    }
    for (const auto& [given, name] :
         {std::pair{o.analysis, "--analysis"}, std::pair{o.energy, "--energy"},
          std::pair{o.currentDelayFrames.has_value(), "--current-delay"},
          std::pair{o.recordPath.has_value(), "--record"}}) {
        if (given) return std::string(name) + " is used only with --measure";
    }
    if (o.action == Action::ListDevices && (o.mqttUrl || o.configPath))
        return std::string(o.mqttUrl ? "--mqtt" : "--config") + " is not used with --list-devices";
    if (o.buffers) return "--buffers is used only with --measure";
    if (o.device) return "--device is used only with --measure";
    if (o.action == Action::ListDevices && o.settingsPath)
        return "--settings is not used with --list-devices";
    return {};
}

// The parser's own complaints in the program's words.
std::string parserProblem(const QCommandLineParser& parser,
                          const std::vector<std::string>& arguments) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return "unknown option '" + spelledAs(arguments, unknown.first()) + "' (try --help)";
    const QString error = parser.errorText();
    for (const char* pattern : {"Missing value after '", "Unexpected value after '"}) {
        const QString prefix = QString::fromLatin1(pattern);
        if (!error.startsWith(prefix)) continue;
        std::string name = error.mid(prefix.size()).toStdString();
        name = name.substr(0, name.find('\''));
        return name +
               (prefix.startsWith(QLatin1String("Missing")) ? " needs a value" : " takes no value");
    }
    if (!parser.positionalArguments().isEmpty())
        return "unexpected argument '" + parser.positionalArguments().first().toStdString() +
               "' (try --help)";
    // "--" ends the options for the parser; here it is an argument like any other.
    for (const std::string& a : arguments)
        if (a == "--" && parser.values(QStringLiteral("input")).indexOf(QStringLiteral("--")) < 0)
            return "unexpected argument '--' (try --help)";
    if (!error.isEmpty()) return error.toStdString();
    for (const QString& name : parser.optionNames())
        if (parser.optionNames().count(name) > 1) return dashed(name) + " given more than once";
    return {};
}

}  // namespace

CommandLineParse parseCommandLine(const std::vector<std::string>& allArguments) {
    CommandLineParse result;
    CommandLineOptions& o = result.options;
    const std::vector<std::string> arguments = upToHelp(allArguments);

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionName& option : kOptions) {
        QCommandLineOption entry(QString::fromLatin1(option.name));
        if (option.takesValue) entry.setValueName(QStringLiteral("value"));
        parser.addOption(entry);
    }
    QStringList list{QStringLiteral("ac-wattmeter")};
    for (const std::string& a : arguments) list << QString::fromLocal8Bit(a.c_str());
    parser.parse(list);
    result.error = parserProblem(parser, arguments);
    if (!result.error.empty()) return result;

    auto given = [&parser](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    auto value = [&parser](const char* name) {
        return parser.value(QString::fromLatin1(name)).toLocal8Bit().toStdString();
    };
    using Action = CommandLineOptions::Action;
    if (given("help")) {
        o.action = Action::Help;
        return result;
    }
    if (given("version")) {
        o.action = Action::Version;
        return result;
    }
    if (given("measure")) o.action = Action::Measure;
    if (given("list-devices")) o.action = Action::ListDevices;
    o.demo = given("demo");
    auto fail = [&result](const char* option, const std::string& problem) {
        result.error = std::string(option) + ": " + problem;
        return result;
    };
    o.analysis = given("analysis");
    o.harmonics = given("harmonics");
    o.energy = given("energy");
    for (const auto& [option, target] :
         {std::pair{"input", &o.inputPath}, std::pair{"settings", &o.settingsPath},
          std::pair{"config", &o.configPath}, std::pair{"record", &o.recordPath},
          std::pair{"mqtt", &o.mqttUrl}, std::pair{"channels", &o.channels}}) {
        if (!given(option)) continue;
        const std::string text = value(option);
        if (text.empty()) {
            const std::string name = std::string("--") + option;
            const std::string what = name == "--mqtt"       ? "needs a broker URL"
                                     : name == "--channels" ? "needs two channels"
                                                            : "needs a file name";
            return fail(name.c_str(), what);
        }
        *target = text;
    }
    if (given("current-delay")) {
        const std::string text = value("current-delay");
        double frames = 0.0;
        const char* last = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), last, frames);
        if (text.empty() || ec != std::errc() || ptr != last || !(frames >= -4.0 && frames <= 4.0))
            return fail("--current-delay",
                        "bad value '" + text + "': a number of frames from -4 to 4 is needed");
        o.currentDelayFrames = frames;
    }
    long long number = 0;
    if (given("buffers")) {
        const std::string problem = readWholeNumber(value("buffers"), 1, INT64_MAX, number);
        if (!problem.empty())
            return fail("--buffers", problem + ": a whole number of 1 or more is needed");
        o.buffers = number;
    }
    if (given("device")) {
        const std::string problem = readWholeNumber(value("device"), -1, INT32_MAX, number);
        if (!problem.empty())
            return fail("--device",
                        problem + ": a device id (0, 1, ... as listed, or -1) is needed");
        o.device = static_cast<int>(number);
    }
    result.error = checkCombination(o, given("measure"), given("list-devices"));
    return result;
}

CommandLineParse parseCommandLine(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : "");
    return parseCommandLine(arguments);
}

std::string channelChoiceOf(const CommandLineOptions& options,
                            std::optional<ChannelChoice>& channels) {
    channels.reset();
    if (!options.channels) return {};
    ChannelChoice choice;
    const std::string problem = parseChannelChoice(*options.channels, choice);
    if (!problem.empty()) return "--channels: " + problem;
    channels = choice;
    return {};
}

std::string usageText() {
    return "Usage: ac-wattmeter [--demo | --input FILE] [--settings FILE] [--config FILE]\n"
           "                    [--mqtt URL]\n"
           "       ac-wattmeter --measure --input FILE [--buffers N] [OPTIONS]\n"
           "       ac-wattmeter --measure --demo --buffers N [OPTIONS]\n"
           "       ac-wattmeter --measure --device N [--buffers N] [--record FILE] [OPTIONS]\n"
           "       ac-wattmeter --list-devices [--demo | --input FILE]\n"
           "\n"
           "AC power analyser for a sound card's stereo line input (left = voltage,\n"
           "right = current). Without --measure the instrument's window opens.\n"
           "\n"
           "  --measure        measure without a window and print one CSV line per buffer:\n"
           "                   time_s,volts,amps,hz,watts,va,pf,v_cf,a_cf,volts_lock,amps_lock\n"
           "  --input FILE     a stereo recording (WAV, FLAC and other formats, any rate from\n"
           "                   8 to 192 kHz, resampled to 11025 Hz) as the source; a last\n"
           "                   partial buffer of 4096 frames is not measured\n"
           "  --demo           the built-in demo adaptor (120 V, 60 Hz, about 5 A) as the source\n"
           "  --device N       sound card N as listed by --list-devices (-1 = the system's\n"
           "                   default input), measured live until --buffers N or Ctrl-C\n"
           "  --list-devices   list the input devices, one 'id name' line each\n"
           "  --buffers N      measure at most N buffers (required with --measure --demo)\n"
           "  --settings FILE  take the calibration from FILE instead of the user's\n"
           "                   wattmeter.ini; headless measuring never writes it\n"
           "  --channels L,R   the voltage and current channels of a recording with more\n"
           "                   than two (1-based)\n"
           "  --analysis       add p_w,q_var,s_va,phi_deg,thd_v_pct,thd_i_pct: signed active\n"
           "                   power, reactive power, apparent power, phase and distortion\n"
           "                   over whole line cycles (empty outside 40-70 Hz)\n"
           "  --harmonics      with --analysis, add v_h1..v_h50,i_h1..i_h50 (RMS)\n"
           "  --energy         add wh,wh_import,wh_export,varh,vah,elapsed_s from the first\n"
           "                   buffer on\n"
           "  --current-delay D  the current channel lags the voltage by D frames (-4..4);\n"
           "                   the analysis corrects it\n"
           "  --record FILE    with --device, write the captured input to FILE (.wav, .flac)\n"
           "  --mqtt URL       publish every buffer to an MQTT broker, with Home Assistant\n"
           "                   discovery: mqtt[s]://[user[:password]@]host[:port][/prefix]\n"
           "  --config FILE    the program's own settings instead of\n"
           "                   ~/.config/ac-wattmeter/ac-wattmeter.conf\n"
           "  --help           show this text\n"
           "  --version        show the program's version\n"
           "\n"
           "Exit status: 0 done (also when stopped by Ctrl-C), 1 reading, capturing or writing\n"
           "failed part-way, 2 bad options or input, or the sound card did not open.\n";
}

std::string versionText() { return std::string("ac-wattmeter ") + ACW_VERSION + "\n"; }

}  // namespace acw
