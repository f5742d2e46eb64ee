#include "cli/HeadlessLive.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMediaDevices>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "capture/AudioDeviceInput.h"
#include "capture/CaptureCycle.h"
#include "capture/RecordingReader.h"
#include "capture/WaveInputFactory.h"
#include "cli/CsvOutput.h"
#include "cli/HeadlessExtras.h"
#include "cli/HeadlessMeasure.h"
#include "cli/StopSignals.h"
#include "session/MeasurementSession.h"
#include "settings/MeasuringCalibration.h"

namespace acw {

namespace {

void report(std::FILE* err, const std::string& message) {
    std::fprintf(err, "ac-wattmeter: %s\n", message.c_str());
    std::fflush(err);
}

// A device name on one line: control characters (a line end in a driver's name) become blanks.
std::string oneLine(const QString& name) {
    QString text = name;
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = QLatin1Char(' ');
    }
    return text.toStdString();
}

// How the user and the messages name the device.
std::string deviceLabel(int id, const QStringList& names) {
    if (id == -1) {
        const QAudioDevice device = QMediaDevices::defaultAudioInput();
        if (device.isNull()) return "the default input";
        return "the default input '" + oneLine(shortDeviceName(device.description())) + "'";
    }
    std::string label = "sound card " + std::to_string(id);
    if (id >= 0 && id < names.size()) label += " '" + oneLine(names[id]) + "'";
    return label;
}

// Qt's own warnings (the audio backend's, for one, also from its own threads and while the
// program ends) would break the one-line messages: from the first headless call on they are kept
// instead of printed, and the first one is added to an error's reason.
class QtMessages {
public:
    static void keepFromNowOn() {
        static const bool installed = (qInstallMessageHandler(&QtMessages::keep), true);
        (void)installed;
    }

    // "" or "; the audio system says: <first message>".
    static std::string note() {
        const std::lock_guard<std::mutex> lock(mutex());
        return first().empty() ? std::string() : "; the audio system says: " + first();
    }

private:
    // Never destroyed: a backend thread may still warn while the program ends.
    static std::mutex& mutex() {
        static auto* m = new std::mutex;
        return *m;
    }
    static std::string& first() {
        static auto* text = new std::string;
        return *text;
    }
    static void keep(QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtDebugMsg || type == QtInfoMsg) return;
        const std::lock_guard<std::mutex> lock(mutex());
        if (first().empty()) first() = oneLine(message);
    }
};

}  // namespace

int runListDevices(const CommandLineOptions& options, std::FILE* out, std::FILE* err) {
    if (options.inputPath) {
        // The window refuses a bad recording before listing it; so does the list.
        std::optional<ChannelChoice> channels;
        std::string problem = channelChoiceOf(options, channels);
        RecordingReader reader;
        if (problem.empty()) problem = reader.open(*options.inputPath, channels);
        if (!problem.empty()) {
            report(err, problem);
            return kExitBadInput;
        }
    }
    QtMessages::keepFromNowOn();
    const std::unique_ptr<WaveInput> input = makeWaveInput(options.demo, options.inputPath);
    const QStringList names = input->deviceNames();
    std::string text;
    for (int i = 0; i < names.size(); ++i)
        text += std::to_string(i) + " " + oneLine(shortDeviceName(names[i])) + "\n";
    if ((!text.empty() && std::fwrite(text.data(), 1, text.size(), out) != text.size()) ||
        std::fflush(out) != 0) {
        report(err, std::string("writing the output failed (") + std::strerror(errno) + ")");
        return kExitFailedPartWay;
    }
    return kExitOk;
}

int runLiveMeasure(const CommandLineOptions& options, std::FILE* out, std::FILE* err) {
    const int id = options.device.value_or(-1);

    CalibrationDivisors divisors;
    std::string warning;
    const std::string settingsProblem = loadCalibration(options.settingsPath, divisors, warning);
    if (!settingsProblem.empty()) {
        report(err, settingsProblem);
        return kExitBadInput;
    }
    if (!warning.empty()) report(err, warning);

    StopSignals stopSignals;
    if (!stopSignals.ok()) {
        report(err, std::string("cannot watch for Ctrl-C (") + std::strerror(errno) + ")");
        return kExitBadInput;
    }

    QtMessages::keepFromNowOn();
    MeasurementSession session(std::make_unique<AudioDeviceInput>());
    WaveInput& input = session.input();
    const QStringList names = input.deviceNames();
    const std::string label = deviceLabel(id, names);
    session.setVoltsCal(divisors.voltsCal);
    session.setAmpsCal(divisors.ampsCal);
    session.setSelectedDevice(id);

    enum class End { Running, Stopped, Lost, WriteFailed };
    End end = End::Running;
    QEventLoop loop;
    const std::int64_t limit = options.buffers.value_or(INT64_MAX);
    HeadlessExtras extras(options, err);
    const std::string extrasProblem = extras.prepare(session);
    if (!extrasProblem.empty()) {
        report(err, extrasProblem);
        return kExitBadInput;
    }
    // Each line goes out as soon as its buffer is measured.
    CsvOutput csv(out, nullptr, extras.layout(), CsvOutput::Flushing::PerLine);
    session.addObserver(csv);
    session.addObserver(extras);
    // Ends the run after the line that failed or the last line asked for.
    struct RunLimit : MeasurementObserver {
        std::function<void()> check;
        void measured(const Measurement&) override { check(); }
    } runLimit;
    runLimit.check = [&] {
        if (csv.failed())
            end = End::WriteFailed;
        else if (csv.lines() >= limit)
            end = End::Stopped;
        if (end == End::Running) return;
        session.stopCapture();
        loop.quit();
    };
    session.addObserver(runLimit);
    std::string lostReason;
    // Called when the device stops delivering (and when START fails, which is handled below
    // from the result of startCapture()).
    session.setErrorReporter([&](const QString&, const QString&, const QString&) {
        if (end != End::Running) return;
        end = End::Lost;
        lostReason = input.problem().isEmpty()
                         ? "no sound arrived for " +
                               std::to_string(session.captureCycle().watchdogMs() / 1000) + " s"
                         : oneLine(input.problem());
        loop.quit();
    });

    if (!session.startCapture()) {
        std::string reason =
            input.problem().isEmpty() ? "the audio system refused it" : oneLine(input.problem());
        if (id >= names.size()) reason += " (see --list-devices)";
        report(err, label + " did not open: " + reason + QtMessages::note());
        return kExitBadInput;
    }
    // The header went out once the device was open and capturing.
    if (csv.failed()) end = End::WriteFailed;

    QSocketNotifier wake(stopSignals.readFd(), QSocketNotifier::Read);
    QObject::connect(&wake, &QSocketNotifier::activated, &loop, [&] {
        if (!stopSignals.drain()) return;
        if (end == End::Running) end = End::Stopped;
        session.stopCapture();
        loop.quit();
    });
    // A signal that came before the loop runs is still in the pipe and is seen at once.
    if (end == End::Running) loop.exec();
    session.stopCapture();
    csv.finish();
    const bool extrasDone = extras.finish();
    // The audio stream is released once control is back in an event loop, as in the window.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    switch (end) {
        case End::Running:
        case End::Stopped:
            return extrasDone ? kExitOk : kExitFailedPartWay;
        case End::WriteFailed:
            report(err, csv.problem());
            return kExitFailedPartWay;
        case End::Lost:
            report(err, label + " stopped after " + std::to_string(csv.lines()) +
                            " buffers: " + lostReason);
            return kExitFailedPartWay;
    }
    return kExitOk;
}

}  // namespace acw
