#include "export/ScopeExport.h"

#include <algorithm>
#include <exception>

#include "export/BmpFile.h"

namespace acw {

QImage blankCanvas(QSize size) {
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(qRgb(255, 255, 255));
    return canvas;
}

void paintSrcInvert(QImage& destination, const QImage& source) {
    if (destination.format() != QImage::Format_RGB32) {
        destination = destination.convertToFormat(QImage::Format_RGB32);
    }
    const QImage src = source.convertToFormat(QImage::Format_RGB32);
    const int width = std::min(destination.width(), src.width());
    const int height = std::min(destination.height(), src.height());
    for (int y = 0; y < height; ++y) {
        auto* d = reinterpret_cast<QRgb*>(destination.scanLine(y));
        const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            d[x] = ((d[x] ^ s[x]) & 0x00ffffffu) | 0xff000000u;
        }
    }
}

QImage composeNegative(const QImage& scope) {
    // Picture1 is reset from the blank Picture2 and sized to GraphBox before the scope image is
    // painted in, so nothing of an earlier export remains.
    QImage picture1 = blankCanvas(scope.size());
    paintSrcInvert(picture1, scope);
    return picture1;
}

namespace {

// Clears exportMode and redraws in normal colours when the export leaves its scope, also when a
// step in between threw.
class NormalColoursOnExit {
public:
    explicit NormalColoursOnExit(ExportTarget& target) : target_(target) {}
    ~NormalColoursOnExit() {
        target_.setExportMode(false);
        target_.redrawScope();
    }
    NormalColoursOnExit(const NormalColoursOnExit&) = delete;
    NormalColoursOnExit& operator=(const NormalColoursOnExit&) = delete;

private:
    ExportTarget& target_;
};

}  // namespace

ExportOutcome SaveFile1(const QString& path, ExportTarget& target) {
    ExportOutcome outcome;
    NormalColoursOnExit restore(target);
    target.setExportMode(true);
    target.redrawScope();
    if (path.isEmpty()) {
        outcome.status = ExportOutcome::Status::NothingToWrite;
        return outcome;
    }
    try {
        const QImage picture1 = composeNegative(target.scopeImage());
        QString reason;
        if (writeBmp24File(path, picture1, &reason)) {
            outcome.status = ExportOutcome::Status::Written;
        } else {
            outcome.status = ExportOutcome::Status::Failed;
            outcome.reason = reason;
        }
    } catch (const std::exception& e) {
        outcome.status = ExportOutcome::Status::Failed;
        outcome.reason = QString::fromLocal8Bit(e.what());
    }
    return outcome;
}

ExportOutcome runSaveScreenCommand(ExportTarget& target, const SaveFileChooser& chooser,
                                   const ExportFailureReporter& reporter) {
    const QString path = chooser ? chooser(kSaveFilter, QString()) : QString();
    if (path.isEmpty()) {
        return {};  // cancelled: nothing written, nothing said
    }
    ExportOutcome outcome = SaveFile1(path, target);
    if (outcome.status == ExportOutcome::Status::Failed && reporter) {
        reporter(path, outcome.reason);
    }
    return outcome;
}

QString exportFailureMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Could not save the scope picture to %1: %2.").arg(path, reason);
}

QString exportFailureAdvice(const QString& reason) {
    QString fix = QStringLiteral(
        "Choose a folder you may write to, with space to spare (or make the file writable), and "
        "save again.");
    if (reason.contains(QStringLiteral("does not exist"))) {
        fix = QStringLiteral("Choose a folder that exists (or create it first) and save again.");
    } else if (reason.contains(QStringLiteral("is a folder"))) {
        fix = QStringLiteral("Choose a file name, not a folder, and save again.");
    }
    return fix + QStringLiteral(" A file already there is left unchanged.");
}

}  // namespace acw
