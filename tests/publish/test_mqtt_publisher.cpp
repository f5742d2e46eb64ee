// SPDX-License-Identifier: GPL-3.0-or-later
// The publisher against a real broker on the loopback: what subscribers see of the states, the
// Home Assistant announcements and the availability, through crashes of the broker and of the
// publishing process.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <future>
#include <map>
#include <sstream>

#include "BrokerFixture.h"
#include "publish/MqttPublisher.h"

namespace acw {
namespace {

using namespace std::chrono_literals;
using Kind = PublisherEvent::Kind;

// One buffer's state: every kind of number the CSV writes, the lamps, and no analysis result.
std::array<StateField, 23> bufferState(double timeS) {
    const double numbers[] = {timeS, 230.123456789, -0.0,          NAN,  INFINITY,
                              1e-7,  -0.5,          123456789012., 1.0,  0.25,
                              1e6,   123456789.0,   1234567890.0,  -0.0, 3600.5};
    std::array<StateField, 23> fields;
    for (std::size_t i = 0, n = 0; i < fields.size(); ++i)
        fields[i] = i == 9 || i == 10   ? StateField::label(kStateKeys[i], i == 9 ? "red" : "green")
                    : i >= 11 && i < 17 ? StateField::none(kStateKeys[i])
                                        : StateField::value(kStateKeys[i], numbers[n++]);
    return fields;
}

class MqttPublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder_);
        ASSERT_TRUE(broker_.start(&why_)) << why_;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string start(MqttPublisher& publisher) {
        const auto url = "mqtt://127.0.0.1:" + std::to_string(broker_.port()) + "/test/meter";
        return publisher.start(
            {*parseMqttUrl(url, nullptr), "homeassistant", "", "AC-Wattmeter", "1.2.3"});
    }
    // Hands a state over every 20 ms until `done` holds (true) or 20 s have passed.
    bool publishUntil(MqttPublisher& publisher, const std::function<bool()>& done) {
        for (int i = 0; i < 1000 && !done(); ++i, std::this_thread::sleep_for(20ms))
            if (!publisher.publishState(bufferState(next_++))) return false;
        return done();
    }

    // Publishes until a new subscriber has heard two states, and returns them, one a line.
    std::string firstStates(MqttPublisher& publisher) {
        auto heard = std::async(std::launch::async, test::subscribe, broker_.port(),
                                "test/meter/state", 2, "%p");
        publishUntil(publisher, [&] { return heard.wait_for(0s) == std::future_status::ready; });
        return heard.get();
    }
    std::string availability() {
        return test::subscribe(broker_.port(), "test/meter/availability", 1, "%r %p");
    }

    std::string folder_ = "/tmp/acw-mqtt-" + std::to_string(::getpid()), why_;
    test::MosquittoBroker broker_{folder_};
    double next_ = 0.0;
};

TEST(MqttUrlTest, ReadsUrlsAndNeverRepeatsThePassword) {
    const auto url = parseMqttUrl("MQTTS://me:pa@s%2Fs@[::1]", nullptr);
    EXPECT_EQ(url->password + " " + describeMqttUrl(*url),
              "pa@s/s mqtts://me@[::1]:8883/" + defaultMqttPrefix());
    for (const char* bad :
         {"http://secret@h", "secret@h:1883", "mqtt://", "mqtt://u:secret@",
          "mqtt://u:secret@h:65536", "mqtt://u:secret@h:1x", "mqtt://u:secret@h/a/+",
          "mqtt://u:secret@h/a#b", "mqtt://u:secr%zzet@h", "mqtt://u:secret@[::1",
          "mqtt://:secret@h", "mqtt://u:secret@h%20x", "mqtt://h/a%00"}) {
        std::string error;
        EXPECT_TRUE(!parseMqttUrl(bad, &error) && error != "" && error.find("secr") == error.npos)
            << bad << " -> " << error;
    }
}

TEST_F(MqttPublisherTest, SubscribersSeeStatesAnnouncementsAndAvailabilityAcrossABrokerCrash) {
    MqttPublisher publisher;
    ASSERT_EQ(start(publisher), "");
    // The buffers' times depend on how many states were overwritten before the connection.
    const std::string states = firstStates(publisher);
    EXPECT_NE(states.find("}\n{"), std::string::npos) << states;
    EXPECT_EQ(states.substr(states.rfind(",\"volts\"")),
              R"(,"volts":230.123457,"amps":0,"hz":null,"watts":null,"va":1e-07,"pf":-0.5,)"
              R"("v_cf":1.23456789e+11,"a_cf":1,"volts_lock":"red","amps_lock":"green",)"
              R"("p_w":null,"q_var":null,"s_va":null,"phi_deg":null,"thd_v_pct":null,)"
              R"("thd_i_pct":null,"wh":0.25,"wh_import":1000000,"wh_export":123456789,)"
              R"("varh":1.23456789e+09,"vah":0,"elapsed_s":3600.5})"
              "\n");

    for (int round = 0; round < 2; ++round) {  // the broker forgets them when it restarts
        std::map<std::string, std::string> configs;
        std::istringstream lines(
            test::subscribe(broker_.port(), "homeassistant/#", 12, "%r %t %p"));
        for (std::string retained, topic, json;
             lines >> retained >> topic && std::getline(lines, json);)
            if (retained == "1") configs[topic.substr(32)] = json.substr(1);
        ASSERT_EQ(configs.size(), 12u);
        EXPECT_EQ(
            configs["volts/config"],
            R"({"name":"Voltage","unique_id":"test_meter_volts","state_topic":"test/meter/state",)"
            R"("value_template":"{{ value_json.volts }}","unit_of_measurement":"V",)"
            R"("device_class":"voltage","state_class":"measurement",)"
            R"("availability_topic":"test/meter/availability","device":{"identifiers":)"
            R"(["test_meter"],"name":"AC-Wattmeter","model":"AC-Wattmeter","sw_version":"1.2.3"}})");
        // No unit, no device class, a counter that only grows.
        for (const auto& [key, members] : std::map<std::string, std::string>{
                 {"pf", R"("{{ value_json.pf }}","device_class":"power_factor","state_class")"},
                 {"thd_i_pct", R"("unit_of_measurement":"%","state_class":"measurement")"},
                 {"wh_export", R"("Wh","device_class":"energy","state_class":"total_increasing")"}})
            EXPECT_NE(configs[key + "/config"].find(members), std::string::npos) << key;
        EXPECT_EQ(availability(), "1 online\n");
        if (round == 1) break;

        broker_.stop();
        ASSERT_TRUE(publishUntil(
            publisher, [&] { return publisher.state() == ConnectionState::Disconnected; }));
        for (int i = 0; i < 1000; ++i) ASSERT_TRUE(publisher.publishState(bufferState(next_++)));
        const double latest = next_ - 1;
        ASSERT_TRUE(broker_.start(&why_)) << why_;
        // Only the latest state counts: none older than the last one before the return.
        EXPECT_GE(std::stod(firstStates(publisher).substr(10)), latest);
    }
    std::vector<Kind> kinds;
    for (const PublisherEvent& event : publisher.takeEvents()) kinds.push_back(event.kind);
    EXPECT_EQ(kinds, (std::vector{Kind::Connected, Kind::ConnectionLost, Kind::Reconnected}));
    publisher.stop();
    EXPECT_EQ(availability(), "1 offline\n");
}

TEST_F(MqttPublisherTest, LastWillSaysOfflineWhenThePublisherIsKilled) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        MqttPublisher publisher;
        if (start(publisher) == "") publishUntil(publisher, [] { return false; });
        ::_exit(1);
    }
    ASSERT_EQ(availability().substr(1), " online\n");
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    for (int i = 0; i < 100 && availability() != "1 offline\n"; ++i)
        std::this_thread::sleep_for(200ms);
    EXPECT_EQ(availability(), "1 offline\n");
}

}  // namespace
}  // namespace acw
