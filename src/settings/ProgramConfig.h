// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <string>

namespace acw {

// The program's own settings, kept apart from the ten-line settings file (which stays exactly
// as it is): the power analysis's channel delay, the tariff of the energy window, the MQTT
// publisher of the window.
struct ProgramConfig {
    double currentDelayFrames = 0.0;  // -4..4
    QString currencySymbol;
    double pricePerKwh = 0.0;

    struct Mqtt {
        bool enabled = false;
        QString host;
        int port = 0;  // 0: the scheme's default
        bool tls = false;
        QString prefix;  // empty: ac-wattmeter/<host name>
        QString user;
        QString password;  // never printed or logged
        QString discoveryPrefix = QStringLiteral("homeassistant");
    } mqtt;
};

// The file that holds it: an INI file, by default ~/.config/ac-wattmeter/ac-wattmeter.conf;
// `--config FILE` names another (tests do). The energy totals are kept in the same folder.
//
// load() and save() open and close the file within the call. Values the file does not hold, or
// holds out of range, keep their defaults. The file is written only by save(), all or nothing,
// readable by its owner alone (it may hold the broker's password).
class ProgramConfigStore {
public:
    // The default file; empty when the platform names no configuration folder.
    static QString defaultPath();

    explicit ProgramConfigStore(QString path = defaultPath());
    // The file named by `--config FILE`, or the default one.
    static ProgramConfigStore fromOption(const std::optional<std::string>& configPath);

    const QString& path() const { return path_; }
    // The folder of the file, where the energy totals live too.
    QString folder() const;

    // Reads the file; a missing file gives the defaults. Returns false with the reason when the
    // file exists but cannot be read.
    bool load(ProgramConfig& config, QString* reason = nullptr) const;
    bool save(const ProgramConfig& config, QString* reason = nullptr) const;

private:
    QString path_;
};

}  // namespace acw
