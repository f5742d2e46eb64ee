#pragma once

#include <QImage>
#include <QString>
#include <functional>

namespace acw {

// What the picture export needs of the oscilloscope. The main window adapts itself to this;
// tests supply their own.
class ExportTarget {
public:
    virtual ~ExportTarget() = default;
    // Sets or clears `exportMode`: while it is set the renderer draws every trace white.
    virtual void setExportMode(bool on) = 0;
    // Runs `displayscope1`: draws the scope picture over the current image without clearing it
    // first, and repaints the screen. Its success or failure does not matter to the export.
    virtual void redrawScope() = 0;
    // The persistent image of `GraphBox` as it stands now (the scope's drawing area).
    virtual QImage scopeImage() const = 0;
};

// `Picture2`: the blank white canvas, of the given size.
QImage blankCanvas(QSize size);

// Paints `source` into `destination` at (0, 0) with SRCINVERT: every destination pixel inside
// both images becomes destination XOR source in each of red, green and blue. Pixels outside the
// source are left alone. `destination` is kept in 32-bit RGB.
void paintSrcInvert(QImage& destination, const QImage& source);

// `Picture1` after composition: a white canvas the size of `scope`, with `scope` painted in by
// SRCINVERT, which gives the colour complement of every pixel (black background -> white, white
// traces -> black, grid (85,85,85) -> (170,170,170)).
QImage composeNegative(const QImage& scope);

// The result of `SaveFile1`.
struct ExportOutcome {
    enum class Status {
        Written,         // the file holds the picture
        NothingToWrite,  // the path was empty: the scope was only redrawn
        Failed,          // the file could not be written; `reason` says why
    };
    Status status = Status::NothingToWrite;
    QString reason;
};

// Saves the scope picture to `path` as a negative 24-bit BMP file:
//   1. sets `exportMode` and redraws the scope, so every trace on the image turns white;
//   2. unless `path` is empty: resets the canvas `Picture1` to white at the size of the scope
//      image, paints the scope image into it with SRCINVERT and writes the canvas to `path`
//      (through a temporary file, so a failed write leaves any older file untouched);
//   3. clears `exportMode` and redraws the scope in its normal colours.
// Step 3 runs whatever happened in step 2, so the screen always returns to its normal colours.
// Nothing of an earlier export carries over into the next one. No extension is added to `path`.
ExportOutcome SaveFile1(const QString& path, ExportTarget& target);

// The save dialog of "Save Screen1 as bmp". It is shown with the filter `kSaveFilter`, an
// empty initial name, no read-only option and no default suffix; it lets the user name a new
// file and asks before an existing file is replaced. Returns the chosen path, or an empty string
// when the user cancelled.
using SaveFileChooser = std::function<QString(const QString& filter, const QString& initialName)>;
// Tells the user that `path` could not be written, and why (a message box in the program).
using ExportFailureReporter = std::function<void(const QString& path, const QString& reason)>;

inline const QString kSaveFilter = QStringLiteral("All Files (*.bmp)");

// The menu command "Save Screen1 as bmp" (`mnuSave1`): asks `chooser` for a path; on cancel
// nothing is written and nothing is said. Otherwise runs `SaveFile1` and, when the file could not
// be written, calls `reporter` with the path and the reason. Returns what `SaveFile1` returned
// (NothingToWrite after a cancel).
ExportOutcome runSaveScreenCommand(ExportTarget& target, const SaveFileChooser& chooser,
                                   const ExportFailureReporter& reporter);

// The message box that reports a failed export: the text names the file and the reason
// ("Could not save the scope picture to FILE: REASON."), the advice (its informative text) says
// what the user can do.
QString exportFailureMessage(const QString& path, const QString& reason);
QString exportFailureAdvice(const QString& reason);

}  // namespace acw
