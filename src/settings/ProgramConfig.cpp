// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ProgramConfig.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>

#include "common/AtomicFile.h"

namespace acw {

namespace {

double inRange(const QVariant& value, double low, double high, double otherwise) {
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok && std::isfinite(number) && number >= low && number <= high ? number : otherwise;
}

}  // namespace

QString ProgramConfigStore::defaultPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty()) return {};
    return folder + QStringLiteral("/ac-wattmeter/ac-wattmeter.conf");
}

ProgramConfigStore::ProgramConfigStore(QString path) : path_(std::move(path)) {}

ProgramConfigStore ProgramConfigStore::fromOption(const std::optional<std::string>& configPath) {
    if (!configPath) return ProgramConfigStore();
    return ProgramConfigStore(QFile::decodeName(QByteArray::fromStdString(*configPath)));
}

QString ProgramConfigStore::folder() const {
    return path_.isEmpty() ? QString() : QFileInfo(path_).absolutePath();
}

bool ProgramConfigStore::load(ProgramConfig& config, QString* reason) const {
    const auto fail = [reason](const QString& why) {
        if (reason != nullptr) *reason = why;
        return false;
    };
    const QFileInfo info(path_);
    if (path_.isEmpty() || !info.exists()) return true;
    if (!info.isFile()) return fail(QStringLiteral("it is not a regular file"));
    if (!info.isReadable()) return fail(QStringLiteral("it cannot be read"));
    const QSettings file(path_, QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        return fail(QStringLiteral("it is not a settings file"));

    const ProgramConfig defaults;
    config.currentDelayFrames =
        inRange(file.value(QStringLiteral("analysis/currentDelayFrames")), -4.0, 4.0,
                defaults.currentDelayFrames);
    config.currencySymbol =
        file.value(QStringLiteral("energy/currencySymbol"), defaults.currencySymbol).toString();
    config.pricePerKwh =
        inRange(file.value(QStringLiteral("energy/pricePerKwh")), 0.0, 1e6, defaults.pricePerKwh);
    ProgramConfig::Mqtt& m = config.mqtt;
    m.enabled = file.value(QStringLiteral("mqtt/enabled"), false).toBool();
    m.host = file.value(QStringLiteral("mqtt/host")).toString();
    m.port = static_cast<int>(inRange(file.value(QStringLiteral("mqtt/port")), 0, 65535, 0));
    m.tls = file.value(QStringLiteral("mqtt/tls"), false).toBool();
    m.prefix = file.value(QStringLiteral("mqtt/prefix")).toString();
    m.user = file.value(QStringLiteral("mqtt/user")).toString();
    m.password = file.value(QStringLiteral("mqtt/password")).toString();
    m.discoveryPrefix =
        file.value(QStringLiteral("mqtt/discoveryPrefix"), defaults.mqtt.discoveryPrefix)
            .toString();
    return true;
}

bool ProgramConfigStore::save(const ProgramConfig& config, QString* reason) const {
    const auto fail = [reason](const QString& why) {
        if (reason != nullptr) *reason = why;
        return false;
    };
    if (path_.isEmpty()) return fail(QStringLiteral("no configuration folder is known"));
    if (!QDir().mkpath(folder()))
        return fail(QStringLiteral("the folder %1 cannot be created")
                        .arg(QDir::toNativeSeparators(folder())));
    // QSettings writes its file in place; the text is made in a scratch file and then replaced
    // all or nothing by the program's atomic writer.
    QTemporaryDir scratch;
    if (!scratch.isValid()) return fail(scratch.errorString());
    const QString scratchPath = scratch.filePath(QStringLiteral("config.conf"));
    {
        QSettings file(scratchPath, QSettings::IniFormat);
        file.setValue(QStringLiteral("analysis/currentDelayFrames"), config.currentDelayFrames);
        file.setValue(QStringLiteral("energy/currencySymbol"), config.currencySymbol);
        file.setValue(QStringLiteral("energy/pricePerKwh"), config.pricePerKwh);
        const ProgramConfig::Mqtt& m = config.mqtt;
        file.setValue(QStringLiteral("mqtt/enabled"), m.enabled);
        file.setValue(QStringLiteral("mqtt/host"), m.host);
        file.setValue(QStringLiteral("mqtt/port"), m.port);
        file.setValue(QStringLiteral("mqtt/tls"), m.tls);
        file.setValue(QStringLiteral("mqtt/prefix"), m.prefix);
        file.setValue(QStringLiteral("mqtt/user"), m.user);
        file.setValue(QStringLiteral("mqtt/password"), m.password);
        file.setValue(QStringLiteral("mqtt/discoveryPrefix"), m.discoveryPrefix);
        file.sync();
        if (file.status() != QSettings::NoError)
            return fail(QStringLiteral("the settings could not be written"));
    }
    QFile text(scratchPath);
    if (!text.open(QIODevice::ReadOnly)) return fail(text.errorString());
    if (!writeFileAtomically(path_, text.readAll(), reason)) return false;
    // It may hold the broker's password: readable by its owner alone.
    QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

}  // namespace acw
