#include "app/SettingsStore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <string>
#include <string_view>
#include <utility>

namespace acw {

QString SettingsStore::defaultPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty()) return {};
    return folder + QLatin1Char('/') + QLatin1String(kFileName);
}

SettingsStore::SettingsStore(QString path) : path_(std::move(path)) {}

SettingsStore SettingsStore::fromOption(const std::optional<std::string>& settingsPath) {
    if (!settingsPath) return SettingsStore();
    return SettingsStore(QFile::decodeName(QByteArray::fromStdString(*settingsPath)));
}

bool SettingsStore::load(SettingsValues& values) const {
    if (path_.isEmpty()) return false;
    // Only a regular file is opened: opening a pipe would wait for a writer forever.
    if (!QFileInfo(path_).isFile()) return false;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = file.read(kMaxReadBytes);
    readSettingsText(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                     values);
    return true;
}

bool SettingsStore::save(const SettingsValues& values, QString* reason) const {
    const auto fail = [reason](const QString& why) {
        if (reason != nullptr) *reason = why;
        return false;
    };
    if (path_.isEmpty()) return fail(QStringLiteral("no configuration folder is known"));

    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
        return fail(QStringLiteral("the folder %1 cannot be created").arg(folder));
    }

    // Unbuffered, so that every write reaches the file at once and a short write (a disk that
    // fills up mid-way) shows here: a buffered QSaveFile drops the rest of a short write at its
    // final flush without an error and renames the truncated file over the old one.
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(file.errorString());
    const std::string text = writeSettingsText(values);
    const char* next = text.data();
    qint64 left = static_cast<qint64>(text.size());
    while (left > 0) {
        // A short write is followed by another one, which reports the cause.
        const qint64 written = file.write(next, left);
        if (written <= 0) {
            const QString why = file.errorString();
            file.cancelWriting();
            return fail(why);
        }
        next += written;
        left -= written;
    }
    // Syncs and renames over the old file; on failure the temporary file is removed.
    if (!file.commit()) return fail(file.errorString());
    return true;
}

}  // namespace acw
