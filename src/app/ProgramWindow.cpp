#include "app/ProgramWindow.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/Lifecycle.h"
#include "capture/RecordingReader.h"
#include "capture/WaveInputFactory.h"
#include "cli/CommandLine.h"
#include "cli/HeadlessMeasure.h"
#include "publish/MqttUrl.h"
#include "session/MeasurementSession.h"
#include "settings/SettingsStore.h"
#include "window/MainWindow.h"
#include "window/PublishingControls.h"

namespace acw {

namespace {

// The window and its event loop; returns the exit status once the program has ended.
int runInstrument(int argc, char** argv, const CommandLineOptions& options,
                  std::optional<ChannelChoice> channels) {
    QApplication app(argc, argv);
    // Desktops match the window to the program's menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.ac_wattmeter"));
    MeasurementSession session(
        makeWaveInput(options.demo, options.inputPath, RecordingPlayback::Looping, channels));
    session.setSettingsStore(SettingsStore::fromOption(options.settingsPath));
    session.setProgramConfigStore(ProgramConfigStore::fromOption(options.configPath));
    MainWindow window(session);
    if (options.mqttUrl) window.publishingControls().setUrlForThisRun(*options.mqttUrl);
    Lifecycle lifecycle(window);
    lifecycle.startUp();
    window.show();
    return QApplication::exec();
    // Destroyed here in this order: the lifecycle, the window, the session (every audio stream
    // stopped and released), then the application object.
}

}  // namespace

int runWindow(int argc, char** argv, const CommandLineOptions& options) {
    std::optional<ChannelChoice> channels;
    if (const std::string error = channelChoiceOf(options, channels); !error.empty()) {
        std::fprintf(stderr, "ac-wattmeter: %s\n", error.c_str());
        return kExitBadInput;
    }
    if (options.inputPath) {
        // The same checks as headless measuring, before the window promises live readings.
        RecordingReader reader;
        const std::string error = reader.open(*options.inputPath, channels);
        if (!error.empty()) {
            std::fprintf(stderr, "ac-wattmeter: %s\n", error.c_str());
            return kExitBadInput;
        }
    }
    if (options.mqttUrl) {
        std::string error;
        if (!parseMqttUrl(*options.mqttUrl, &error)) {
            std::fprintf(stderr, "ac-wattmeter: %s\n", error.c_str());
            return kExitBadInput;
        }
    }

    const int status = runInstrument(argc, argv, options, channels);
    // The window, its capture streams and the application object are gone by now; everything
    // the program writes is written. What is left are the process's exit handlers, among them
    // the teardown of the audio backend's server connection, which can abort ("Assertion 'pd'
    // failed") when it cuts the connection while the server's last notices about the released
    // streams are still arriving. Nothing is left for it to release that the system would not
    // release anyway, so the program ends here, as headless measuring does.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

}  // namespace acw
