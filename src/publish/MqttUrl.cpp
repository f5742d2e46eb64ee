// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/MqttUrl.h"

#include <mosquitto.h>
#include <unistd.h>

#include <cctype>
#include <charconv>

namespace acw {

namespace {

// The longest prefix taken: every topic is the prefix plus at most a few dozen characters,
// well inside what MQTT allows.
constexpr std::size_t kMaxPrefixBytes = 1024;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes %XX escapes. False on a malformed escape or a decoded NUL.
bool percentDecode(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out.push_back(in[i]);
            continue;
        }
        if (i + 2 >= in.size()) return false;
        const int high = hexValue(in[i + 1]);
        const int low = hexValue(in[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

void percentEncode(std::string_view in, std::string_view reserved, std::string& out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : in) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || c == '%' ||
            reserved.find(c) != std::string_view::npos) {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        } else {
            out.push_back(c);
        }
    }
}

bool isHostChar(char c, bool bracketed) {
    if (bracketed) return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool isPublishableTopic(std::string_view topic) {
    for (const char c : topic) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '+' || c == '#' || byte < 0x20 || byte == 0x7f) return false;
    }
    return mosquitto_validate_utf8(topic.data(), static_cast<int>(topic.size())) ==
           MOSQ_ERR_SUCCESS;
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool isWellFormedScheme(std::string_view scheme) {
    if (scheme.empty() || scheme.size() > 16 ||
        !std::isalpha(static_cast<unsigned char>(scheme[0])))
        return false;
    for (const char c : scheme)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    return true;
}

}  // namespace

std::optional<MqttUrl> parseMqttUrl(std::string_view text, std::string* error) {
    const auto fail = [error](const std::string& why) -> std::optional<MqttUrl> {
        if (error) *error = "MQTT URL: " + why;
        return std::nullopt;
    };
    const std::size_t schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos) return fail("must begin with mqtt:// or mqtts://");
    MqttUrl url;
    const std::string scheme = lowerCase(text.substr(0, schemeEnd));
    if (scheme == "mqtt") {
        url.tls = false;
        url.port = 1883;
    } else if (scheme == "mqtts") {
        url.tls = true;
        url.port = 8883;
    } else if (isWellFormedScheme(scheme)) {
        return fail("unknown scheme " + scheme + ":// (use mqtt:// or mqtts://)");
    } else {
        return fail("must begin with mqtt:// or mqtts://");
    }
    std::string_view rest = text.substr(schemeEnd + 3);
    if (rest.find_first_of("?#") != std::string_view::npos)
        return fail("a query or fragment (? or #) is not supported; write them as %3F and %23");

    const std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    const std::string_view path =
        slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);

    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const std::size_t colon = userInfo.find(':');
        const bool decoded = percentDecode(userInfo.substr(0, colon), url.user) &&
                             (colon == std::string_view::npos ||
                              percentDecode(userInfo.substr(colon + 1), url.password));
        if (!decoded) return fail("malformed %-escape in the user name or password");
        if (url.user.empty()) return fail("the user name before '@' is empty");
    }

    std::string_view portText;
    bool hasPort = false;
    bool bracketed = false;
    if (!authority.empty() && authority[0] == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return fail("']' missing after the IPv6 address");
        url.host = authority.substr(1, close - 1);
        bracketed = true;
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after[0] != ':') return fail("unexpected text after the host");
        hasPort = !after.empty();
        if (hasPort) portText = after.substr(1);
    } else {
        const std::size_t colon = authority.find(':');
        url.host = authority.substr(0, colon);
        hasPort = colon != std::string_view::npos;
        if (hasPort) portText = authority.substr(colon + 1);
    }
    if (url.host.empty()) return fail("the broker's host is missing");
    for (const char c : url.host)
        if (!isHostChar(c, bracketed)) return fail("the host is not a valid name or address");
    if (hasPort) {
        int port = 0;
        const auto [end, ec] =
            std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (portText.empty() || ec != std::errc() || end != portText.data() + portText.size() ||
            port < 1 || port > 65535 || !std::isdigit(static_cast<unsigned char>(portText[0])))
            return fail("the port must be a number from 1 to 65535");
        url.port = port;
    }

    if (!percentDecode(path, url.prefix)) return fail("malformed %-escape in the topic prefix");
    while (!url.prefix.empty() && url.prefix.back() == '/') url.prefix.pop_back();
    while (!url.prefix.empty() && url.prefix.front() == '/') url.prefix.erase(0, 1);
    if (url.prefix.empty()) url.prefix = defaultMqttPrefix();
    if (url.prefix.size() > kMaxPrefixBytes) return fail("the topic prefix is too long");
    if (!isPublishableTopic(url.prefix))
        return fail(
            "the topic prefix may not contain '+', '#', control characters or invalid UTF-8");
    return url;
}

std::string describeMqttUrl(const MqttUrl& url) {
    std::string out = url.tls ? "mqtts://" : "mqtt://";
    if (!url.user.empty()) {
        percentEncode(url.user, ":@/?#", out);
        out += '@';
    }
    const bool ipv6 = url.host.find(':') != std::string::npos;
    if (ipv6) out += '[';
    out += url.host;
    if (ipv6) out += ']';
    out += ':';
    out += std::to_string(url.port);
    out += '/';
    percentEncode(url.prefix, "?#", out);
    return out;
}

std::string defaultMqttPrefix() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) name[0] = '\0';
    std::string host(name);
    if (host.empty()) host = "localhost";
    for (char& c : host) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '+' || c == '#' || c == '/' || byte < 0x20 || byte == 0x7f) c = '_';
    }
    return "ac-wattmeter/" + host;
}

}  // namespace acw
