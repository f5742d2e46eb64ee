// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/HeadlessExtras.h"

#include "cli/CommandLine.h"
#include "publish/MeasurementPublisher.h"
#include "publish/MqttUrl.h"
#include "record/MeasurementLog.h"
#include "session/MeasurementSession.h"
#include "settings/ProgramConfig.h"

#ifndef ACW_VERSION
#define ACW_VERSION "unknown"
#endif

namespace acw {

HeadlessExtras::HeadlessExtras(const CommandLineOptions& options, std::FILE* err)
    : options_(options), err_(err) {
    layout_.analysis = options.analysis;
    layout_.harmonics = options.harmonics;
    layout_.energy = options.energy;
}

HeadlessExtras::~HeadlessExtras() = default;

void HeadlessExtras::report(const std::string& line) {
    std::fprintf(err_, "ac-wattmeter: %s\n", line.c_str());
    std::fflush(err_);
}

std::string HeadlessExtras::prepare(MeasurementSession& session) {
    // The channel delay: the option, else the program's configuration.
    double delayFrames = 0.0;
    if (options_.currentDelayFrames) {
        delayFrames = *options_.currentDelayFrames;
    } else {
        const ProgramConfigStore store = ProgramConfigStore::fromOption(options_.configPath);
        ProgramConfig config;
        QString reason;
        if (store.load(config, &reason)) {
            delayFrames = config.currentDelayFrames;
        } else {
            report("'" + store.path().toStdString() + "': " + reason.toStdString() +
                   "; measuring with no channel delay");
        }
    }
    session.setCurrentDelayFrames(delayFrames);
    session.setAnalysisEnabled(options_.analysis);

    // The published state always carries the analysis and the energy totals.
    const bool publishing = options_.mqttUrl.has_value();
    if (options_.energy || publishing) {
        session.setEnergyEnabled(true);
        session.energy().reset();
        session.energy().start();
    }
    if (publishing) {
        std::string error;
        const std::optional<MqttUrl> url = parseMqttUrl(*options_.mqttUrl, &error);
        if (!url) return error;
        MqttPublisher::Config config;
        config.url = *url;
        config.swVersion = ACW_VERSION;
        publisher_ = std::make_unique<MeasurementPublisher>();
        error = publisher_->start(config);
        if (!error.empty()) return error;
        session.addObserver(*publisher_);
    }
    if (options_.recordPath) {
        recording_ = std::make_unique<InputRecording>();
        const std::string error = recording_->open(*options_.recordPath);
        if (!error.empty()) return error;
        session.addObserver(*recording_);
    }
    return {};
}

void HeadlessExtras::pollEvents() {
    if (publisher_) {
        // The first connection is what was asked for; only its changes are news.
        for (const PublisherEvent& event : publisher_->takeEvents()) {
            if (event.kind != PublisherEvent::Kind::Connected) report(event.message);
        }
    }
    if (recording_) {
        if (const std::optional<std::string> failure = recording_->takeFailure()) {
            report(*failure);
            failed_ = true;
        }
    }
}

void HeadlessExtras::measured(const Measurement&) { pollEvents(); }

bool HeadlessExtras::finish() {
    if (recording_) recording_->close();
    pollEvents();
    if (publisher_) publisher_->stop();
    return !failed_;
}

}  // namespace acw
