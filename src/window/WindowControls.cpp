#include "window/WindowControls.h"

#include <QtWidgets/qdrawutil.h>

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>
#include <cmath>

#include "scope/ImageSurface.h"

namespace acw {

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                 height / kTwipsPerPixel);
}

QFont faceFont(double points, bool bold) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setBold(bold);
    return font;
}

QFont defaultFaceFont() { return faceFont(8.0, false); }

const QColor CommandButton::kDefaultFace(224, 224, 224);

CommandButton::CommandButton(const QString& caption, bool flat, QWidget* parent)
    : QPushButton(caption, parent), face_(kDefaultFace) {
    setFlat(flat);
    setAutoDefault(false);
}

void CommandButton::setFaceColour(const QColor& colour) {
    if (colour == face_) return;
    face_ = colour;
    update();
}

void CommandButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    const bool down = isDown() || isChecked();
    if (isFlat()) {
        p.fillRect(r, face_);
        p.setPen(QColor(0, 0, 0));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        QPalette bevel(face_);
        qDrawWinButton(&p, r, bevel, down, nullptr);
        p.fillRect(r.adjusted(2, 2, -2, -2), face_);
    }
    // The caption moves one pixel down and right while the button is held, as on a real key.
    QRect textRect = r;
    if (down) textRect.translate(1, 1);
    p.setFont(font());
    p.setPen(isEnabled() ? QColor(0, 0, 0) : QColor(128, 128, 128));
    p.drawText(textRect, Qt::AlignCenter, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = r.adjusted(3, 3, -3, -3);
        focus.backgroundColor = face_;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

CaptionFrame::CaptionFrame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {
    setAutoFillBackground(true);
}

namespace {
constexpr int kCaptionLeft = 6;
}

void CaptionFrame::setCaptionWidthLimit(int pixels) {
    captionLimit_ = pixels;
    update();
}

QString CaptionFrame::shownCaption() const {
    int room = width() - 2 * kCaptionLeft - 2;
    if (captionLimit_ > 0) room = std::min(room, captionLimit_);
    return QFontMetrics(font()).elidedText(title(), Qt::ElideRight, std::max(room, 0));
}

bool CaptionFrame::event(QEvent* e) {
    // The whole caption as tooltip, but only when it had to be shortened.
    if (e->type() == QEvent::ToolTip) setToolTip(shownCaption() != title() ? title() : QString());
    return QGroupBox::event(e);
}

void CaptionFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const int lineY = fm.height() / 2;
    const QColor shadow(128, 128, 128);
    const QColor light(255, 255, 255);
    const QRect box(0, lineY, width() - 1, height() - lineY - 1);
    // Etched frame: a grey line with a white one one pixel below and to the right.
    p.setPen(shadow);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setPen(light);
    p.drawRect(box.adjusted(1, 1, 0, 0));
    const QString caption = shownCaption();
    if (caption.isEmpty()) return;
    const int textWidth = fm.horizontalAdvance(caption) + 2;
    p.fillRect(QRect(kCaptionLeft, 0, textWidth, fm.height()), palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::WindowText));
    p.setFont(font());
    p.drawText(QRect(kCaptionLeft + 1, 0, textWidth, fm.height()), Qt::AlignLeft | Qt::AlignTop,
               caption);
}

HiddenSurface::HiddenSurface(const QString& name, const QSize& sizePx, const QColor& background,
                             QWidget* parent)
    : QWidget(parent) {
    setObjectName(name);
    setAttribute(Qt::WA_DontShowOnScreen);
    hide();
    reshape(sizePx, background);
}

void HiddenSurface::reshape(const QSize& sizePx, const QColor& background) {
    background_ = background;
    image_ = QImage(sizePx, QImage::Format_RGB32);
    clear();
    resize(sizePx);
}

void HiddenSurface::clear() { image_.fill(background_); }

// A click is a press and a release of the left button over the label, as on a button.
void ClickableLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        event->accept();
        if (rect().contains(event->position().toPoint())) emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

ScopeScreen::ScopeScreen(const ImageSurface& image, QWidget* parent)
    : QFrame(parent), image_(image) {
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScopeScreen::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        p.drawImage(contentsRect().topLeft(), image_.image());
    }
    QFrame::paintEvent(event);
}

}  // namespace acw
