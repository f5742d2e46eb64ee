#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class QCloseEvent;
class QLabel;
class QPlainTextEdit;

namespace acw {

// The help window "Help": the help text in `Text1` (scrollable, grey background), the adaptor
// schematic in `Picture1` at its natural size from the top-left corner, and the note on it in
// `Label1`. Fixed size, 744 x 599 client pixels, no maximise button. The text is built when the
// window is created; whatever the user types into `Text1` is neither kept nor used. The window
// is deleted when it is closed. It reads no state of the rest of the program.
class Helpnow : public QWidget {
    Q_OBJECT
public:
    explicit Helpnow(QWidget* parent = nullptr);
    ~Helpnow() override;

    // The text exactly as built (lines separated by carriage return + line feed). `Text1` shows
    // it line by line; it also carries it as the property "builtText".
    const QString& builtText() const { return builtText_; }
    // The schematic shown in `Picture1` (543 x 313, one bit per pixel).
    const QImage& schematic() const { return schematic_; }

    QPlainTextEdit* Text1() const { return text1_; }
    QLabel* Picture1() const { return picture1_; }
    QLabel* Label1() const { return label1_; }

signals:
    // The window has been closed and is about to be deleted.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString builtText_;
    QImage schematic_;
    QPlainTextEdit* text1_ = nullptr;
    QLabel* picture1_ = nullptr;
    QLabel* label1_ = nullptr;
};

// The single help window of the program, opened by the "Help" menu entry (`mnuHelp`).
// Choosing "Help" creates the window if there is none (building its text anew) and shows it
// without an owner, not modal; while it is open, "Help" only brings it to the front. Closing it
// deletes it. The launcher closes the window when it is itself destroyed.
class HelpLauncher : public QObject {
    Q_OBJECT
public:
    explicit HelpLauncher(QObject* parent = nullptr);
    ~HelpLauncher() override;

    // The "Help" command: shows the window (new or raised) and returns it.
    Helpnow* showHelp();
    // Closes the help window if it is open (shutdown does this before the main window closes).
    void closeHelp();
    // The open help window, or nullptr.
    Helpnow* window() const { return window_.data(); }

private:
    QPointer<Helpnow> window_;
    // Windows closed but not yet deleted; deleted with the launcher at the latest.
    QList<QPointer<Helpnow>> closing_;
};

}  // namespace acw
