// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/MqttPublisher.h"

#include <mosquitto.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <utility>

namespace acw {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kKeepaliveS = 10;  // a silent broker is noticed within two of these
constexpr milliseconds kAnswerLimit{15000};
constexpr std::array<milliseconds, 4> kRetryDelays = {milliseconds(500), milliseconds(1000),
                                                      milliseconds(2000), milliseconds(4000)};
constexpr milliseconds kRefusedLoginDelay{30000};
constexpr milliseconds kIdleWake{1000};  // keepalive bookkeeping runs at least this often
constexpr milliseconds kStopFlushLimit{1000};
constexpr milliseconds kStopWaitLimit{1900};
constexpr std::size_t kMaxEvents = 64;
constexpr int kFresh = 4;  // marks the middle slot of the triple buffer as not yet taken

constexpr std::string_view kOnline = "online";
constexpr std::string_view kOffline = "offline";

std::once_flag libraryInitialised;

bool isPublishableTopic(std::string_view topic) {
    if (topic.empty() || topic.size() > 4096) return false;
    for (const char c : topic) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '+' || c == '#' || byte < 0x20 || byte == 0x7f) return false;
    }
    return mosquitto_validate_utf8(topic.data(), static_cast<int>(topic.size())) ==
           MOSQ_ERR_SUCCESS;
}

// Why a connection or an attempt ended, in words (the library has none for some codes).
std::string reasonText(int rc, int savedErrno) {
    if (rc == MOSQ_ERR_ERRNO) return std::strerror(savedErrno);
    if (rc == MOSQ_ERR_KEEPALIVE || rc == MOSQ_ERR_TIMEOUT) return "no answer from the broker";
    return mosquitto_strerror(rc);
}

}  // namespace

struct MqttPublisher::Core {
    // Fixed before the thread starts.
    std::string host;
    int port = 0;
    std::string endpoint;  // "host:port" for messages
    std::string stateTopic;
    std::string availabilityTopic;
    std::vector<std::pair<std::string, std::string>> announcements;  // topic, configuration
    mosquitto* mosq = nullptr;
    int wakeFd = -1;

    std::atomic<bool> accepting{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> wakePending{false};
    std::atomic<ConnectionState> connectionState{ConnectionState::Connecting};

    // The latest state, as a triple buffer: the caller fills slots[back] and swaps it with the
    // middle one, marked fresh; the thread swaps its front slot with a fresh middle one.
    struct Slot {
        std::array<char, kStatePayloadCapacity> bytes;
        std::size_t size = 0;
    };
    std::array<Slot, 3> slots;
    int back = 0;  // the caller's
    std::atomic<int> middle{1};
    int front = 2;  // the thread's

    // The thread's own.
    bool connected = false;
    bool everConnected = false;
    bool justConnected = false;
    bool stopping = false;
    bool refusedAttempt = false;
    bool timedOut = false;
    bool refusedLogin = false;
    bool unreachableReported = false;
    bool refusedReported = false;
    std::size_t failedAttempts = 0;
    Clock::time_point nextAttempt;
    Clock::time_point answerDeadline;
    bool frontUnsent = false;
    bool stateInFlight = false;
    int stateMid = 0;

    std::mutex eventsMutex;
    std::vector<PublisherEvent> events;

    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool done = false;

    ~Core() {
        if (mosq) mosquitto_destroy(mosq);
        if (wakeFd >= 0) ::close(wakeFd);
    }

    void wake() {
        if (wakePending.exchange(true)) return;
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd, &one, sizeof one);
    }

    void addEvent(PublisherEvent::Kind kind, std::string message) {
        std::lock_guard lock(eventsMutex);
        if (events.size() >= kMaxEvents) events.erase(events.begin());
        events.push_back({kind, "MQTT broker " + endpoint + " " + message});
    }

    // An attempt or a connection ended (the socket is closed or about to be).
    void ended(int rc, int savedErrno) {
        stateInFlight = false;
        if (stopping) {
            connected = false;
            return;
        }
        const std::string reason = reasonText(timedOut ? MOSQ_ERR_TIMEOUT : rc, savedErrno);
        timedOut = false;
        if (connected) {
            connected = false;
            failedAttempts = 0;
            connectionState = ConnectionState::Disconnected;
            addEvent(PublisherEvent::Kind::ConnectionLost, "lost (" + reason + "); retrying");
        } else if (!refusedAttempt && !everConnected && !unreachableReported) {
            unreachableReported = true;
            addEvent(PublisherEvent::Kind::Unreachable, "unreachable (" + reason + "); retrying");
        }
        const milliseconds delay =
            refusedAttempt && refusedLogin
                ? kRefusedLoginDelay
                : kRetryDelays[std::min(failedAttempts, kRetryDelays.size() - 1)];
        ++failedAttempts;
        refusedAttempt = false;
        nextAttempt = Clock::now() + delay;
    }

    void connectAck(int rc) {
        if (rc == 0) {
            connected = true;
            justConnected = true;
            failedAttempts = 0;
            unreachableReported = false;
            refusedReported = false;
            connectionState = ConnectionState::Connected;
            addEvent(
                everConnected ? PublisherEvent::Kind::Reconnected : PublisherEvent::Kind::Connected,
                everConnected ? "connected again" : "connected");
            everConnected = true;
            return;
        }
        refusedAttempt = true;
        refusedLogin = rc == 4 || rc == 5;  // bad user name or password; not authorised
        connectionState = ConnectionState::LoginRefused;
        if (refusedReported) return;
        refusedReported = true;
        addEvent(
            PublisherEvent::Kind::LoginRefused,
            std::string("refused the connection (") + mosquitto_connack_string(rc) + "); retrying");
    }

    void attempt() {
        refusedAttempt = false;
        timedOut = false;
        answerDeadline = Clock::now() + kAnswerLimit;
        const int rc = mosquitto_connect_async(mosq, host.c_str(), port, kKeepaliveS);
        const int savedErrno = errno;
        if (rc != MOSQ_ERR_SUCCESS) ended(rc, savedErrno);
    }

    void announce() {
        mosquitto_publish(mosq, nullptr, availabilityTopic.c_str(), int(kOnline.size()),
                          kOnline.data(), 0, true);
        for (const auto& [topic, config] : announcements)
            mosquitto_publish(mosq, nullptr, topic.c_str(), int(config.size()), config.data(), 0,
                              true);
    }

    void sendLatestState() {
        // Sequentially consistent, like the wake flag: the caller either sees the flag cleared
        // and wakes the thread, or the thread sees the fresh slot here.
        if (middle.load() & kFresh) {
            front = middle.exchange(front) & 3;
            frontUnsent = true;
        }
        if (!frontUnsent || !connected || stateInFlight) return;
        // Sending a QoS 0 message can finish inside mosquitto_publish, whose callback then
        // clears the flag at once: it must be set first.
        stateInFlight = true;
        const Slot& slot = slots[std::size_t(front)];
        const int rc = mosquitto_publish(mosq, &stateMid, stateTopic.c_str(), int(slot.size),
                                         slot.bytes.data(), 0, false);
        if (rc == MOSQ_ERR_SUCCESS) {
            frontUnsent = false;
        } else {
            stateInFlight = false;
        }
    }

    Clock::time_point wakeTime(int socket) const {
        Clock::time_point at = Clock::now() + kIdleWake;
        if (socket < 0) at = std::min(at, nextAttempt);
        if (socket >= 0 && !connected) at = std::min(at, answerDeadline);
        return at;
    }

    void run() {
        // A write to a socket the broker has closed must not end the program (TLS writes do
        // not ask the kernel to hold SIGPIPE back).
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

        nextAttempt = Clock::now();
        while (!stopRequested.load()) {
            int socket = mosquitto_socket(mosq);
            if (socket < 0 && connected) ended(MOSQ_ERR_CONN_LOST, 0);
            if (socket < 0 && Clock::now() >= nextAttempt) {
                attempt();
                socket = mosquitto_socket(mosq);
            } else if (socket >= 0 && !connected && Clock::now() >= answerDeadline) {
                // The library's keepalive normally gives up first. Cutting the socket makes the
                // next read fail, and the library closes it and reports the end as usual.
                timedOut = true;
                answerDeadline = Clock::time_point::max();
                ::shutdown(socket, SHUT_RDWR);
            }
            pollfd fds[2] = {{wakeFd, POLLIN, 0}, {socket, POLLIN, 0}};
            if (socket >= 0 && mosquitto_want_write(mosq)) fds[1].events |= POLLOUT;
            const auto wait =
                std::chrono::duration_cast<milliseconds>(wakeTime(socket) - Clock::now());
            ::poll(fds, socket >= 0 ? 2 : 1, int(std::max<milliseconds::rep>(wait.count(), 0)));
            if (fds[0].revents & POLLIN) {
                wakePending = false;
                std::uint64_t count;
                [[maybe_unused]] const auto got = ::read(wakeFd, &count, sizeof count);
            }
            if (socket >= 0) {
                if (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) mosquitto_loop_read(mosq, 1);
                if ((fds[1].revents & POLLOUT) && mosquitto_socket(mosq) >= 0)
                    mosquitto_loop_write(mosq, 1);
                if (mosquitto_socket(mosq) >= 0) mosquitto_loop_misc(mosq);
            }
            if (justConnected && connected) announce();
            justConnected = false;
            sendLatestState();
        }
        finish();
    }

    void finish() {
        stopping = true;
        if (connected && mosquitto_socket(mosq) >= 0) {
            mosquitto_publish(mosq, nullptr, availabilityTopic.c_str(), int(kOffline.size()),
                              kOffline.data(), 0, true);
            mosquitto_disconnect(mosq);
            const auto limit = Clock::now() + kStopFlushLimit;
            while (mosquitto_socket(mosq) >= 0 && mosquitto_want_write(mosq) &&
                   Clock::now() < limit) {
                pollfd fd{mosquitto_socket(mosq), POLLOUT, 0};
                const auto wait =
                    std::chrono::duration_cast<milliseconds>(limit - Clock::now()).count();
                if (::poll(&fd, 1, int(std::max<milliseconds::rep>(wait, 0))) > 0)
                    mosquitto_loop_write(mosq, 1);
            }
        }
        mosquitto_destroy(mosq);
        mosq = nullptr;
        connectionState = ConnectionState::Stopped;
        std::lock_guard lock(doneMutex);
        done = true;
        doneChanged.notify_all();
    }

    static Core& of(void* object) { return *static_cast<Core*>(object); }
};

MqttPublisher::MqttPublisher() = default;

MqttPublisher::~MqttPublisher() { stop(); }

std::string MqttPublisher::start(const Config& config) {
    stop();
    const MqttUrl& url = config.url;
    if (url.host.empty() || url.port < 1 || url.port > 65535)
        return "MQTT: the broker's host or port is missing";
    if (!isPublishableTopic(url.prefix)) return "MQTT: the topic prefix is not a valid topic";
    if (!isPublishableTopic(config.discoveryPrefix))
        return "MQTT: the discovery prefix is not a valid topic";
    std::call_once(libraryInitialised, [] { mosquitto_lib_init(); });

    auto core = std::make_shared<Core>();
    core->host = url.host;
    core->port = url.port;
    const bool ipv6 = url.host.find(':') != std::string::npos;
    core->endpoint = (ipv6 ? "[" + url.host + "]" : url.host) + ":" + std::to_string(url.port);
    core->stateTopic = url.prefix + "/state";
    core->availabilityTopic = url.prefix + "/availability";
    const DiscoveryDevice device{mqttNodeId(url.prefix), config.deviceName, "AC-Wattmeter",
                                 config.swVersion};
    for (const DiscoverySensor& sensor : kDiscoverySensors)
        core->announcements.emplace_back(
            discoveryTopic(config.discoveryPrefix, device.nodeId, sensor.key),
            discoveryConfig(sensor, url.prefix, device));

    std::string clientId = config.clientId;
    if (clientId.empty()) {
        // Within the 23 characters every broker must take: distinct per process on a machine,
        // and per machine as far as the host names differ in their first characters.
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        clientId = "acw-" + std::to_string(::getpid()) + "-" + mqttNodeId(host);
        clientId.resize(std::min<std::size_t>(clientId.size(), 23));
    }
    core->mosq = mosquitto_new(clientId.c_str(), true, core.get());
    if (!core->mosq)
        return std::string("MQTT: cannot create the client (") + std::strerror(errno) + ")";
    mosquitto_int_option(core->mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (!url.user.empty() &&
        mosquitto_username_pw_set(core->mosq, url.user.c_str(),
                                  url.password.empty() ? nullptr : url.password.c_str()) !=
            MOSQ_ERR_SUCCESS)
        return "MQTT: the user name or password is not accepted by the client library";
    if (mosquitto_will_set(core->mosq, core->availabilityTopic.c_str(), int(kOffline.size()),
                           kOffline.data(), 0, true) != MOSQ_ERR_SUCCESS)
        return "MQTT: the last will cannot be set";
    if (url.tls) {
        const int rc =
            mosquitto_tls_set(core->mosq, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return std::string("MQTT: TLS cannot be set up (") + mosquitto_strerror(rc) + ")";
    }
    mosquitto_connect_callback_set(
        core->mosq, [](mosquitto*, void* object, int rc) { Core::of(object).connectAck(rc); });
    mosquitto_disconnect_callback_set(core->mosq, [](mosquitto*, void* object, int rc) {
        const int savedErrno = errno;
        Core::of(object).ended(rc, savedErrno);
    });
    mosquitto_publish_callback_set(core->mosq, [](mosquitto*, void* object, int mid) {
        Core& c = Core::of(object);
        if (mid == c.stateMid) c.stateInFlight = false;
    });
    core->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (core->wakeFd < 0)
        return std::string("MQTT: cannot create a wake-up channel (") + std::strerror(errno) + ")";

    core->accepting = true;
    core_ = core;
    worker_ = std::thread([core] { core->run(); });
    return {};
}

bool MqttPublisher::publishState(std::span<const StateField> fields) {
    Core* core = core_.get();
    if (!core || !core->accepting.load(std::memory_order_relaxed)) return false;
    Core::Slot& slot = core->slots[std::size_t(core->back)];
    const std::size_t size = formatStateJson(fields, slot.bytes);
    if (size == 0) return false;
    slot.size = size;
    core->back = core->middle.exchange(core->back | kFresh) & 3;
    core->wake();
    return true;
}

void MqttPublisher::stop() {
    if (!core_ || !worker_.joinable()) return;
    core_->accepting = false;
    core_->stopRequested = true;
    core_->wake();
    std::unique_lock lock(core_->doneMutex);
    const bool finished =
        core_->doneChanged.wait_for(lock, kStopWaitLimit, [this] { return core_->done; });
    lock.unlock();
    if (finished) {
        worker_.join();
    } else {
        worker_.detach();  // it owns a share of the core and cleans up when the lookup returns
        core_->connectionState = ConnectionState::Stopped;
    }
}

ConnectionState MqttPublisher::state() const {
    return core_ ? core_->connectionState.load() : ConnectionState::Stopped;
}

std::vector<PublisherEvent> MqttPublisher::takeEvents() {
    std::vector<PublisherEvent> taken;
    if (!core_) return taken;
    std::lock_guard lock(core_->eventsMutex);
    taken.swap(core_->events);
    return taken;
}

}  // namespace acw
