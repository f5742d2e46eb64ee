#pragma once

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QWidget>

namespace acw {

class ImageSurface;

// The instrument's face is laid out in twips (1/1440 inch); at 96 dots per inch 15 twips make one
// pixel. Every position and size is divided by 15, so the face keeps its designed geometry
// whatever the screen.
inline constexpr int kTwipsPerPixel = 15;
QRect twipsRect(int left, int top, int width, int height);

// A font of the face given in points, set by pixel size (points * 96 / 72) so that captions keep
// their designed widths whatever the screen's DPI. "Arial" and the old dialog face both resolve to
// Liberation Sans, which has Arial's metrics.
QFont faceFont(double points, bool bold);
// The window's default dialog font (8 pt).
QFont defaultFaceFont();

// A command button drawn with a face colour of its own, as the instrument's buttons are: a flat
// button is a plain face inside a one-pixel frame, a raised one has the 3-D bevel (sunk while it
// is held down). The face colour starts as (224,224,224) and may be changed at any time
// (`Command1` turns white while its trigger lock is on); the button repaints itself.
class CommandButton : public QPushButton {
    Q_OBJECT
public:
    static const QColor kDefaultFace;

    CommandButton(const QString& caption, bool flat, QWidget* parent);

    QColor faceColour() const { return face_; }
    void setFaceColour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor face_;
};

// A captioned frame drawn as the instrument's frames are: an etched line through the middle of
// the caption, the caption near the top-left corner, and a solid background. Children are placed
// by absolute position relative to the frame's top-left corner.
// A caption wider than the room left for it (the frame's width, or a narrower limit that keeps
// it clear of a control in the top border) is shown shortened with "..."; title() keeps the whole
// text and the tooltip shows it.
class CaptionFrame : public QGroupBox {
    Q_OBJECT
public:
    CaptionFrame(const QString& caption, QWidget* parent);

    // Widest caption drawn, in pixels (0: up to the frame's right edge).
    void setCaptionWidthLimit(int pixels);
    // The caption as drawn.
    QString shownCaption() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int captionLimit_ = 0;
};

// A drawing surface that is never shown: it only keeps a persistent image of its own size and a
// background colour (`Picture1`, `Picture2`, `nullscope`, `ScopeBuff`). It stays hidden for the
// life of the window. clear() fills the image with the background colour.
class HiddenSurface : public QWidget {
    Q_OBJECT
public:
    HiddenSurface(const QString& name, const QSize& sizePx, const QColor& background,
                  QWidget* parent);

    const QImage& image() const { return image_; }
    QColor background() const { return background_; }
    // Gives the surface a new size and background colour; the image is blank afterwards.
    void reshape(const QSize& sizePx, const QColor& background);
    void clear();

private:
    QImage image_;
    QColor background_;
};

// A label that reacts to a mouse click like a button ("START", "STOP", "EXIT").
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// The scope screen: shows the persistent off-screen image of the scope inside a 2-pixel sunken
// border.
class ScopeScreen : public QFrame {
    Q_OBJECT
public:
    ScopeScreen(const ImageSurface& image, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ImageSurface& image_;
};

}  // namespace acw
