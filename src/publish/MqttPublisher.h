// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "publish/MqttUrl.h"
#include "publish/StateJson.h"

namespace acw {

// Where the publisher stands with its broker.
enum class ConnectionState {
    Stopped,       // not started, or stopped
    Connecting,    // started, not connected yet (the broker may be down: it keeps trying)
    Connected,     // states are being published
    Disconnected,  // the connection was lost; trying again
    LoginRefused,  // the broker refused the login; trying again, less often
};

// Something the owner may want to tell the user about. `message` is one line naming the broker
// (host and port, never the password), e.g. "MQTT broker 192.0.2.7:1883 connected".
struct PublisherEvent {
    enum class Kind {
        Connected,       // the first connection since start() (perhaps after Unreachable)
        Unreachable,     // no connection made since start() yet; once, with the reason
        ConnectionLost,  // a connection ended; `message` has the reason
        Reconnected,     // any later connection
        LoginRefused,    // the broker refused the connection, with its reason; once until
                         // a connection is made
    };
    Kind kind;
    std::string message;
};

// Publishes the state of every measured buffer to an MQTT broker, announces the readings to
// Home Assistant, and keeps the connection up on its own.
//
// Topics, under the URL's prefix:
//   <prefix>/state         one JSON object per buffer (see formatStateJson), not retained
//   <prefix>/availability  "online" (retained) on every connection; "offline" (retained) on
//                          stop(), and as the broker-side last will when the program dies
//   <discoveryPrefix>/sensor/<node id>/<key>/config  one retained configuration per sensor of
//                          kDiscoverySensors, published on every connection (after "online")
//
// All network work happens on a thread of the publisher's own: a broker that is slow, down or
// unreachable never delays the caller. The caller's states go through a slot that holds only
// the latest one: while the broker is away, or slower than the buffers come, older states are
// overwritten and only the newest is sent (after a reconnection, the newest one handed over
// meanwhile goes first). At most one state is on its way to the broker at a time. After a lost
// connection it tries again after 0.5, 1, 2 and then every 4 s (so at most about 4 s after the
// broker is back), every 30 s after a refused login. An attempt that gets no answer is given up
// after 10 to 15 s, a connection whose broker stops answering after 10 to 20 s (keepalive).
//
// Threads: start(), stop(), takeEvents() and the destructor belong to the owner's thread;
// state() may be called from any thread. publishState() may be called from one thread at a
// time (the owner's or the one that measures), never while start() runs; calls that overlap
// stop() are harmless and publish nothing.
class MqttPublisher {
public:
    struct Config {
        MqttUrl url;
        std::string discoveryPrefix = "homeassistant";
        std::string clientId;  // "" = "acw-<pid>-<host name>", cut to 23 characters
        std::string deviceName = "AC-Wattmeter";
        std::string swVersion;  // "" leaves sw_version out of the device block
    };

    MqttPublisher();
    ~MqttPublisher();  // stop()
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Checks the configuration, sets the client up and starts connecting in the background.
    // Returns "" or a one-line error (nothing started then): an invalid discovery prefix or
    // topic prefix, TLS that the library lacks, or a client that cannot be made. Never waits
    // for the network. Calling it while started stops first.
    std::string start(const Config& config);

    // Hands over one buffer's state. Never blocks and never allocates: the JSON is written
    // into a preallocated slot here and sent by the publisher's thread. False when nothing was
    // handed over: not started, stopped, or the object does not fit kStatePayloadCapacity.
    // `fields` need only live for the call.
    bool publishState(std::span<const StateField> fields);

    // Publishes "offline" (retained) and disconnects cleanly when connected, then ends the
    // publisher's thread. Returns within about 2 s whatever the broker does (a thread stuck in
    // a host name lookup is left to finish alone). Events not yet taken stay until start().
    void stop();

    ConnectionState state() const;

    // The events since the last call, oldest first (at most the latest 64 are kept).
    std::vector<PublisherEvent> takeEvents();

    struct Core;  // shared with the publisher's thread

private:
    std::shared_ptr<Core> core_;
    std::thread worker_;
};

}  // namespace acw
