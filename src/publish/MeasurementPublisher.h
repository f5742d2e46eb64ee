// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <vector>

#include "measure/MeasurementObserver.h"
#include "publish/MqttPublisher.h"

namespace acw {

// The state of a measured buffer under the CSV's column names, as the publisher sends it: the
// eleven columns of the readout panel, the analysis (null where the buffer has none) and the
// energy totals (null where the measurement carries none).
void stateFieldsOf(const Measurement& m, std::array<StateField, kStateKeys.size()>& fields);

// Publishes every measured buffer over MQTT (see MqttPublisher): an observer of the measurement
// session. Handing a buffer over never blocks and never allocates; the network is the
// publisher's own thread's business. The owner starts it, polls takeEvents() to tell the user
// how the broker is doing, and stops it (which publishes "offline").
class MeasurementPublisher : public MeasurementObserver {
public:
    std::string start(const MqttPublisher::Config& config) { return publisher_.start(config); }
    void stop() { publisher_.stop(); }
    ConnectionState state() const { return publisher_.state(); }
    std::vector<PublisherEvent> takeEvents() { return publisher_.takeEvents(); }

    void measured(const Measurement& m) override;

private:
    MqttPublisher publisher_;
    std::array<StateField, kStateKeys.size()> fields_{};
};

}  // namespace acw
