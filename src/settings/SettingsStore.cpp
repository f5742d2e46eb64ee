#include "settings/SettingsStore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <string>
#include <string_view>
#include <utility>

#include "common/AtomicFile.h"

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

bool SettingsStore::load(SettingsValues& values, QString* reason) const {
    const auto fail = [reason](const QString& why) {
        if (reason != nullptr) *reason = why;
        return false;
    };
    if (path_.isEmpty()) return fail(QString());
    const QFileInfo info(path_);
    if (!info.exists()) return fail(QString());  // a first start
    if (info.isDir()) return fail(QStringLiteral("it is a folder, not a file"));
    // Only a regular file is opened: opening a pipe would wait for a writer forever.
    if (!info.isFile()) return fail(QStringLiteral("it is not a regular file"));
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return fail(file.errorString());
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
        // A file where a folder of the path should be: say which, it is what must go.
        for (QFileInfo above(folder); !above.isRoot(); above = QFileInfo(above.absolutePath())) {
            if (above.exists() && !above.isDir()) {
                return fail(QStringLiteral("a file is in the way: %1 is a file, not a folder")
                                .arg(QDir::toNativeSeparators(above.absoluteFilePath())));
            }
        }
        return fail(QStringLiteral("the folder %1 does not exist and cannot be created")
                        .arg(QDir::toNativeSeparators(folder)));
    }

    const std::string text = writeSettingsText(values);
    return writeFileAtomically(path_, QByteArray::fromStdString(text), reason);
}

}  // namespace acw
