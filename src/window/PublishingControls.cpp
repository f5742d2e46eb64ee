// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/PublishingControls.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QUrl>

#include "publish/MeasurementPublisher.h"
#include "publish/MqttUrl.h"
#include "session/MeasurementSession.h"
#include "window/ProgramSettings.h"

#ifndef ACW_VERSION
#define ACW_VERSION "unknown"
#endif

namespace acw {

namespace {

constexpr int kStatePollMs = 1000;

// The configuration as the URL the publisher reads (user and password escaped).
std::string urlOf(const ProgramConfig::Mqtt& m) {
    const auto escaped = [](const QString& text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text));
    };
    QString url = m.tls ? QStringLiteral("mqtts://") : QStringLiteral("mqtt://");
    if (!m.user.isEmpty()) {
        url += escaped(m.user);
        if (!m.password.isEmpty()) url += QLatin1Char(':') + escaped(m.password);
        url += QLatin1Char('@');
    }
    url +=
        m.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + m.host + QLatin1Char(']') : m.host;
    if (m.port > 0) url += QLatin1Char(':') + QString::number(m.port);
    if (!m.prefix.isEmpty()) url += QLatin1Char('/') + m.prefix;
    return url.toStdString();
}

}  // namespace

PublishingControls::PublishingControls(MeasurementSession& session, ProgramSettings& settings,
                                       QAction* action, QLabel* statusLabel, QWidget* mainWindow)
    : QObject(mainWindow),
      session_(session),
      settings_(settings),
      statusLabel_(statusLabel),
      mainWindow_(mainWindow) {
    connect(action, &QAction::triggered, this, &PublishingControls::editSettings);
    poll_.setInterval(kStatePollMs);
    connect(&poll_, &QTimer::timeout, this, &PublishingControls::showState);
    showState();
}

PublishingControls::~PublishingControls() { stop(); }

void PublishingControls::applySettings() { restart(); }

void PublishingControls::stop() {
    poll_.stop();
    if (!publisher_) return;
    session_.removeObserver(*publisher_);
    publisher_->stop();
    publisher_.reset();
    showState();
}

void PublishingControls::restart() {
    stop();
    problem_.clear();
    const ProgramConfig::Mqtt& m = settings_.config().mqtt;
    if (!urlForThisRun_ && (!m.enabled || m.host.isEmpty())) return;
    std::string error;
    const std::optional<MqttUrl> url =
        parseMqttUrl(urlForThisRun_ ? *urlForThisRun_ : urlOf(m), &error);
    if (!url) {
        problem_ = QString::fromStdString(error);
        showState();
        return;
    }
    MqttPublisher::Config config;
    config.url = *url;
    config.discoveryPrefix = m.discoveryPrefix.isEmpty() ? std::string("homeassistant")
                                                         : m.discoveryPrefix.toStdString();
    config.swVersion = ACW_VERSION;
    auto publisher = std::make_unique<MeasurementPublisher>();
    error = publisher->start(config);
    if (!error.empty()) {
        problem_ = QString::fromStdString(error);
        showState();
        return;
    }
    publisher_ = std::move(publisher);
    session_.addObserver(*publisher_);
    poll_.start();
    showState();
}

QString PublishingControls::statusText() const {
    if (!problem_.isEmpty()) return QStringLiteral("MQTT: ") + problem_;
    if (!publisher_) return QStringLiteral("MQTT: off");
    switch (publisher_->state()) {
        case ConnectionState::Connected:
            return QStringLiteral("MQTT: connected");
        case ConnectionState::Connecting:
            return QStringLiteral("MQTT: connecting");
        case ConnectionState::Disconnected:
            return QStringLiteral("MQTT: broker unreachable, retrying");
        case ConnectionState::LoginRefused:
            return QStringLiteral("MQTT: login refused");
        case ConnectionState::Stopped:
            break;
    }
    return QStringLiteral("MQTT: off");
}

void PublishingControls::showState() {
    if (publisher_) {
        // The events tell the reason; the label shows the last one with the state.
        for (const PublisherEvent& event : publisher_->takeEvents())
            statusLabel_->setToolTip(QString::fromStdString(event.message));
    }
    statusLabel_->setText(statusText());
}

void PublishingControls::measured(const Measurement&) {
    // The publisher is an observer of its own; here only its state is shown.
    if (publisher_) showState();
}

void PublishingControls::editSettings() {
    ProgramConfig::Mqtt& m = settings_.config().mqtt;
    QDialog dialog(mainWindow_);
    dialog.setWindowTitle(QStringLiteral("MQTT Publishing"));
    auto* form = new QFormLayout(&dialog);
    auto* enabled = new QCheckBox(QStringLiteral("Publish every buffer"), &dialog);
    enabled->setChecked(m.enabled);
    auto* host = new QLineEdit(m.host, &dialog);
    auto* port = new QSpinBox(&dialog);
    port->setRange(0, 65535);
    port->setSpecialValueText(QStringLiteral("default"));
    port->setValue(m.port);
    auto* tls = new QCheckBox(QStringLiteral("TLS (mqtts)"), &dialog);
    tls->setChecked(m.tls);
    auto* prefix = new QLineEdit(m.prefix, &dialog);
    prefix->setPlaceholderText(QString::fromStdString(defaultMqttPrefix()));
    auto* user = new QLineEdit(m.user, &dialog);
    auto* password = new QLineEdit(m.password, &dialog);
    password->setEchoMode(QLineEdit::Password);
    auto* discovery = new QLineEdit(m.discoveryPrefix, &dialog);
    for (QWidget* w : std::initializer_list<QWidget*>{enabled, host, port, tls, prefix, user,
                                                      password, discovery})
        w->setParent(&dialog);
    form->addRow(enabled);
    form->addRow(QStringLiteral("Broker"), host);
    form->addRow(QStringLiteral("Port"), port);
    form->addRow(tls);
    form->addRow(QStringLiteral("Topic prefix"), prefix);
    form->addRow(QStringLiteral("User"), user);
    form->addRow(QStringLiteral("Password"), password);
    form->addRow(QStringLiteral("Discovery prefix"), discovery);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) return;
    m.enabled = enabled->isChecked();
    m.host = host->text().trimmed();
    m.port = port->value();
    m.tls = tls->isChecked();
    m.prefix = prefix->text().trimmed();
    m.user = user->text();
    m.password = password->text();
    m.discoveryPrefix = discovery->text().trimmed();
    settings_.save();
    // The dialog's settings win over --mqtt from now on.
    urlForThisRun_.reset();
    restart();
}

}  // namespace acw
