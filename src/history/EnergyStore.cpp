// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/EnergyStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>
#include <utility>

#include "common/AtomicFile.h"

namespace acw {

EnergyStore::EnergyStore(QString folder) : folder_(std::move(folder)) {}

QString EnergyStore::path() const { return QDir(folder_).filePath(QLatin1String(kFileName)); }

EnergyStore::LoadResult EnergyStore::load() {
    LoadResult result;
    if (folder_.isEmpty()) return result;
    const QString filePath = path();
    const QFileInfo info(filePath);
    if (!info.exists() && !info.isSymLink()) {
        damagedInTheWay_ = false;
        return result;
    }

    QString why;
    if (!info.isFile()) {
        // A folder or a pipe is never opened (reading a pipe would wait for a writer forever).
        why = QStringLiteral("it is not a regular file");
    } else if (info.size() > kMaxFileBytes) {
        why = QStringLiteral("it is far larger than a file of energy totals");
    } else {
        QFile file(filePath);
        if (!file.open(QIODevice::ReadOnly)) {
            why = QStringLiteral("it could not be read: %1").arg(file.errorString());
        } else {
            const QByteArray bytes = file.read(kMaxFileBytes + 1);
            std::string problem;
            result.integrator = EnergyIntegrator::fromText(
                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                &problem);
            why = QString::fromStdString(problem);
        }
    }
    if (result.integrator) {
        result.status = LoadResult::Status::Restored;
        damagedInTheWay_ = false;
        return result;
    }

    // Set the file aside under a name that is not taken yet.
    result.status = LoadResult::Status::Damaged;
    const QString stem = filePath + QStringLiteral(".damaged-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString renameError = QStringLiteral("every name beside it is taken");
    for (int n = 1; n <= 100 && result.setAsidePath.isEmpty(); ++n) {
        const QString candidate = n == 1 ? stem : stem + QStringLiteral("-%1").arg(n);
        if (QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink()) continue;
        QFile file(filePath);
        if (!file.rename(candidate)) {
            renameError = file.errorString();
            break;
        }
        result.setAsidePath = candidate;
    }
    if (result.setAsidePath.isEmpty()) {
        why += QStringLiteral("; it could not be set aside either: %1").arg(renameError);
    }
    damagedInTheWay_ = result.setAsidePath.isEmpty();
    result.reason = why;
    return result;
}

bool EnergyStore::save(const EnergyIntegrator& integrator, QString* reason) {
    const auto fail = [reason](const QString& why) {
        if (reason != nullptr) *reason = why;
        return false;
    };
    if (folder_.isEmpty()) return fail(QStringLiteral("no configuration folder is known"));
    if (damagedInTheWay_) {
        return fail(QStringLiteral("the damaged file %1 is in the way and could not be set aside")
                        .arg(QDir::toNativeSeparators(path())));
    }
    if (!QDir(folder_).exists() && !QDir().mkpath(folder_)) {
        return fail(QStringLiteral("the folder %1 does not exist and cannot be created")
                        .arg(QDir::toNativeSeparators(folder_)));
    }
    return writeFileAtomically(path(), QByteArray::fromStdString(integrator.saveText()), reason);
}

bool EnergyStore::saveIfDue(const EnergyIntegrator& integrator, qint64 nowMs, QString* reason) {
    if (lastSaveMs_ && nowMs - *lastSaveMs_ < kSaveIntervalMs) return true;
    lastSaveMs_ = nowMs;
    return save(integrator, reason);
}

}  // namespace acw
