// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace acw {

// Where the readings go: a broker and the topic prefix under which every topic of this
// instrument lives.
struct MqttUrl {
    bool tls = false;      // mqtts://: TLS, the broker checked against the system's CA certificates
    std::string user;      // empty: no login
    std::string password;  // never printed or logged
    std::string host;      // a name, an IPv4 address, or an IPv6 address without its brackets
    int port = 1883;
    std::string prefix;  // the topic prefix, without a leading or trailing '/'
};

// Reads `mqtt://[user[:password]@]host[:port][/topic/prefix]`, or the same with `mqtts://`.
// The scheme is not case-sensitive. The port defaults to 1883 (8883 for mqtts), the prefix to
// "ac-wattmeter/<this machine's host name>". An IPv6 address goes in brackets ("[::1]:1883").
// User, password and prefix may carry %XX escapes (a ':', '@' or '/' in a password must be
// written so). The prefix must be a topic one may publish to: no '+' or '#', valid UTF-8, no
// control characters; a query ("?...") or a fragment is refused.
//
// On failure: nullopt, and when `error` is given, one line saying what is wrong. The line never
// repeats any part of the text but a well-formed scheme, so a password cannot end up in it.
std::optional<MqttUrl> parseMqttUrl(std::string_view text, std::string* error);

// The URL as it may be shown or logged: scheme, user (if any), host, port and prefix; never the
// password. "mqtt://meter@192.0.2.7:1883/ac-wattmeter/lab".
std::string describeMqttUrl(const MqttUrl& url);

// "ac-wattmeter/<host name>" (the host name as gethostname() gives it, "localhost" when it
// gives none, characters that may not appear in a topic replaced by '_').
std::string defaultMqttPrefix();

}  // namespace acw
