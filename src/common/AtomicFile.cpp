#include "common/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace acw {

namespace {

QString systemWords(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Qt's error texts, without a closing full stop, so that callers can build sentences on them.
QString plain(QString text) {
    while (text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char(' '))) text.chop(1);
    if (text.isEmpty()) text = QStringLiteral("unknown error");
    return text;
}

}  // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* reason) {
    const auto fail = [reason](const QString& why) {
        if (reason != nullptr) *reason = plain(why);
        return false;
    };
    if (path.isEmpty()) return fail(QStringLiteral("no file name was given"));

    const QFileInfo target(path);  // follows a symbolic link to the file it names
    if (target.isDir()) return fail(QStringLiteral("it is a folder, not a file"));
    if (target.exists() && !target.isFile())
        return fail(QStringLiteral("it is not a regular file"));
    if (!target.absoluteDir().exists()) {
        return fail(QStringLiteral("the folder %1 does not exist")
                        .arg(QDir::toNativeSeparators(target.absolutePath())));
    }
    // A file the user made read-only stays as it is: the rename below would replace it whenever
    // the folder is writable. The check uses the effective ids and capabilities, as the write
    // itself would.
    if (target.exists() &&
        ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) != 0) {
        return fail(systemWords(errno));
    }

    // Unbuffered, so that a short write shows at once: a buffered QSaveFile drops the rest of a
    // short write at its final flush without an error and renames the truncated file over the
    // old one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        // The new content goes to a temporary file beside the target first: what failed is the
        // folder, whatever word the system has for it (/proc answers "No such file").
        return fail(
            QStringLiteral("the folder %1 cannot be written (%2)")
                .arg(QDir::toNativeSeparators(target.absolutePath()), plain(file.errorString())));
    }
    const char* next = bytes.constData();
    qint64 left = bytes.size();
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
