// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/StateJson.h"

#include <charconv>
#include <cmath>

namespace acw {

namespace {

// Calls put(char) for each character of `text` as it stands inside a JSON string.
template <class Put>
void escapeJson(std::string_view text, Put put) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            put('\\');
            put(c);
        } else if (byte < 0x20) {
            for (const char e : {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 15]}) put(e);
        } else {
            put(c);
        }
    }
}

// Writes into a fixed buffer; once something does not fit, every further write is refused.
class FixedWriter {
public:
    explicit FixedWriter(std::span<char> out) : next_(out.data()), end_(out.data() + out.size()) {}

    bool ok() const { return ok_; }
    char* position() const { return next_; }

    void put(char c) {
        if (next_ == end_) {
            ok_ = false;
            return;
        }
        *next_++ = c;
    }
    void put(std::string_view text) {
        for (const char c : text) put(c);
    }
    void putString(std::string_view text) {
        put('"');
        escapeJson(text, [this](char c) { put(c); });
        put('"');
    }
    void putNumber(double value) {
        if (!std::isfinite(value)) return put("null");
        if (value == 0.0) value = 0.0;  // -0 reads as 0
        const auto result = std::to_chars(next_, end_, value, std::chars_format::general, 9);
        if (result.ec != std::errc()) {
            ok_ = false;
            next_ = end_;
            return;
        }
        next_ = result.ptr;
    }

private:
    char* next_;
    char* end_;
    bool ok_ = true;
};

void appendString(std::string& out, std::string_view text) {
    out += '"';
    escapeJson(text, [&out](char c) { out += c; });
    out += '"';
}

void appendMember(std::string& out, std::string_view key, std::string_view value) {
    appendString(out, key);
    out += ':';
    appendString(out, value);
    out += ',';
}

}  // namespace

std::size_t formatStateJson(std::span<const StateField> fields, std::span<char> out) {
    FixedWriter writer(out);
    writer.put('{');
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const StateField& field = fields[i];
        if (i > 0) writer.put(',');
        writer.putString(field.key);
        writer.put(':');
        switch (field.kind) {
            case StateField::Kind::Number:
                writer.putNumber(field.number);
                break;
            case StateField::Kind::Text:
                writer.putString(field.text);
                break;
            case StateField::Kind::Null:
                writer.put("null");
                break;
        }
    }
    writer.put('}');
    return writer.ok() ? static_cast<std::size_t>(writer.position() - out.data()) : 0;
}

std::string mqttNodeId(std::string_view prefix) {
    std::string id(prefix);
    for (char& c : id) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!keep) c = '_';
    }
    return id;
}

std::string discoveryTopic(std::string_view discoveryPrefix, std::string_view nodeId,
                           std::string_view key) {
    std::string topic(discoveryPrefix);
    topic += "/sensor/";
    topic += nodeId;
    topic += '/';
    topic += key;
    topic += "/config";
    return topic;
}

std::string discoveryConfig(const DiscoverySensor& sensor, std::string_view prefix,
                            const DiscoveryDevice& device) {
    const std::string prefixText(prefix);
    std::string out = "{";
    appendMember(out, "name", sensor.name);
    appendMember(out, "unique_id", device.nodeId + "_" + std::string(sensor.key));
    appendMember(out, "state_topic", prefixText + "/state");
    appendMember(out, "value_template", "{{ value_json." + std::string(sensor.key) + " }}");
    if (!sensor.unit.empty()) appendMember(out, "unit_of_measurement", sensor.unit);
    if (!sensor.deviceClass.empty()) appendMember(out, "device_class", sensor.deviceClass);
    appendMember(out, "state_class", sensor.totalIncreasing ? "total_increasing" : "measurement");
    appendMember(out, "availability_topic", prefixText + "/availability");
    out += "\"device\":{\"identifiers\":[";
    appendString(out, device.nodeId);
    out += "],";
    appendMember(out, "name", device.name);
    appendMember(out, "model", device.model);
    if (!device.swVersion.empty()) appendMember(out, "sw_version", device.swVersion);
    out.back() = '}';
    out += '}';
    return out;
}

}  // namespace acw
