// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace acw {

// One value of a buffer's state: a reading, a lamp colour, or "no result".
struct StateField {
    enum class Kind { Number, Text, Null };
    std::string_view key;
    Kind kind = Kind::Null;
    double number = 0.0;    // for Number
    std::string_view text;  // for Text ("red", "green")

    static constexpr StateField value(std::string_view k, double v) {
        return {k, Kind::Number, v, {}};
    }
    static constexpr StateField label(std::string_view k, std::string_view t) {
        return {k, Kind::Text, 0.0, t};
    }
    static constexpr StateField none(std::string_view k) { return {k, Kind::Null, 0.0, {}}; }
};

// The keys of the state object in the order they are published: the CSV columns of the
// panel, then the power analysis, then the energy counters.
inline constexpr std::array<std::string_view, 23> kStateKeys = {
    "time_s",    "volts",      "amps",      "hz",        "watts", "va",   "pf",       "v_cf",
    "a_cf",      "volts_lock", "amps_lock", "p_w",       "q_var", "s_va", "phi_deg",  "thd_v_pct",
    "thd_i_pct", "wh",         "wh_import", "wh_export", "varh",  "vah",  "elapsed_s"};

// Room for one state object; the 23 fields above take well under a quarter of it.
inline constexpr std::size_t kStatePayloadCapacity = 4096;

// Writes the fields as one JSON object, keys in the order given, into `out` and returns its
// length, or 0 when it does not fit (nothing useful is left in `out` then). Numbers are written
// as the CSV writes them (std::to_chars, general format, 9 significant digits), except that -0
// becomes 0 and NaN or an infinity becomes null; Null fields are null; texts and keys are JSON
// strings (quote, backslash and control characters escaped). Allocates nothing; any thread.
std::size_t formatStateJson(std::span<const StateField> fields, std::span<char> out);

// One sensor announced to Home Assistant.
struct DiscoverySensor {
    std::string_view key;          // the state key it shows
    std::string_view name;         // the entity's name, shown under the device's name
    std::string_view unit;         // "" for none
    std::string_view deviceClass;  // "" for none
    bool totalIncreasing;          // energy counters; the others are measurements
};

// The sensors announced, in the order their configurations are published.
inline constexpr std::array<DiscoverySensor, 12> kDiscoverySensors = {{
    {"volts", "Voltage", "V", "voltage", false},
    {"amps", "Current", "A", "current", false},
    {"hz", "Frequency", "Hz", "frequency", false},
    {"watts", "Power", "W", "power", false},
    {"va", "Apparent power", "VA", "apparent_power", false},
    {"pf", "Power factor", "", "power_factor", false},
    {"p_w", "Active power (analysis)", "W", "power", false},
    {"q_var", "Reactive power", "var", "reactive_power", false},
    {"thd_v_pct", "Voltage THD", "%", "", false},
    {"thd_i_pct", "Current THD", "%", "", false},
    {"wh_import", "Energy imported", "Wh", "energy", true},
    {"wh_export", "Energy exported", "Wh", "energy", true},
}};

// What the device block of every announcement says.
struct DiscoveryDevice {
    std::string nodeId;  // see mqttNodeId()
    std::string name;
    std::string model;
    std::string swVersion;  // left out when empty
};

// The id that makes topics and unique ids of this instrument distinct: the topic prefix with
// every character outside [a-zA-Z0-9_-] replaced by '_' ("ac-wattmeter/lab" gives
// "ac-wattmeter_lab").
std::string mqttNodeId(std::string_view prefix);

// "<discoveryPrefix>/sensor/<nodeId>/<key>/config".
std::string discoveryTopic(std::string_view discoveryPrefix, std::string_view nodeId,
                           std::string_view key);

// The retained configuration of one sensor: name, unique_id ("<nodeId>_<key>"), state_topic
// ("<prefix>/state"), value_template, unit_of_measurement and device_class (when the sensor has
// them), state_class, availability_topic ("<prefix>/availability") and the device block.
std::string discoveryConfig(const DiscoverySensor& sensor, std::string_view prefix,
                            const DiscoveryDevice& device);

}  // namespace acw
