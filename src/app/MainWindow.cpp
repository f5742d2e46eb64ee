#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include "app/WindowPrivate.h"
#include "scope/ScopeRenderer.h"

namespace acw {

namespace {

QColor lampColour(std::uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

void setLamp(QLabel* lamp, std::uint32_t value) {
    QPalette pal = lamp->palette();
    const QColor colour = lampColour(value);
    if (pal.color(QPalette::Window) == colour) return;
    pal.setColor(QPalette::Window, colour);
    lamp->setPalette(pal);
}

void setCaption(QLabel* label, const std::string& text) {
    label->setText(QString::fromStdString(text));
}

}  // namespace

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

GraphBoxWidget::GraphBoxWidget(ImageSurface& surface, QWidget* parent)
    : QFrame(parent), surface_(surface) {
    // The 2-pixel sunken border around the 309 x 213 image.
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphBoxWidget::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        p.drawImage(contentsRect().topLeft(), surface_.image());
    }
    QFrame::paintEvent(event);
}

TGNCounter::Private::Private(TGNCounter* window)
    : q(window), engine(std::make_unique<MeasurementEngine>()) {}

bool TGNCounter::Private::lockCheckChecked() const { return LockCheck->isChecked(); }

void TGNCounter::Private::setLblTB1Text(const std::string& text) {
    lblTB1->setText(QString::fromStdString(text));
}

void TGNCounter::Private::resetScopeToBlank() {
    // `nullscope` is a blank image of its background colour; assigning it to the scope screen
    // leaves every pixel in that colour.
    const QColor blank = nullscope->background();
    surface.clear(Rgb{static_cast<std::uint8_t>(blank.red()),
                      static_cast<std::uint8_t>(blank.green()),
                      static_cast<std::uint8_t>(blank.blue())});
}

TGNCounter::TGNCounter(QWidget* parent) : QMainWindow(parent), d(std::make_unique<Private>(this)) {
    d->buildLayout();
    d->connectScopeControls();
}

TGNCounter::~TGNCounter() {
    // Controls and subsystems parented to the window may still refer to the engine or the scope
    // image while they are destroyed: destroy them while both exist.
    QList<QPointer<QObject>> owned;
    for (QObject* child : children()) {
        if (qobject_cast<QLayout*>(child) == nullptr) owned.append(child);
    }
    for (const QPointer<QObject>& child : owned) delete child.data();
}

MeasurementEngine& TGNCounter::engine() { return *d->engine; }
ScopeState& TGNCounter::scope() { return d->scope; }
ImageSurface& TGNCounter::graphBox() { return d->surface; }

void TGNCounter::processBuffer() {
    d->engine->ProcessBuffer();
    showMeasurement();
}

void TGNCounter::showMeasurement() {
    const ReadoutTexts& t = d->engine->readouts;
    // Frequency; voltage; current; power group.
    setCaption(d->Label36, t.label36);
    setCaption(d->Label57, t.label57);
    setCaption(d->Label37, t.label37);
    setCaption(d->Label7, t.label7);
    setCaption(d->Label54, t.label54);
    setCaption(d->Label35, t.label35);
    setCaption(d->Label8, t.label8);
    setCaption(d->Label41, t.label41);
    setCaption(d->Label40, t.label40);
    setCaption(d->Label42, t.label42);
    setCaption(d->Label3, t.label3);
    setCaption(d->Label5, t.label5);
    showLamps();
    d->resetScopeToBlank();
    displayscope1();
}

void TGNCounter::showLamps() {
    setLamp(d->Label2, d->engine->label2Colour);
    setLamp(d->Label1, d->engine->label1Colour);
}

bool TGNCounter::displayscope1() {
    const bool complete = acw::displayscope1(*d->engine, d->scope, d->surface, *d);
    // The picture shows at once, also while no capture is running.
    d->GraphBox->repaint();
    return complete;
}

void TGNCounter::prepareScopeSurfaces() {
    const QSize image(ImageSurface::kWidthPixels, ImageSurface::kHeightPixels);
    const QColor background(0, 0, 0);
    d->ScopeBuff->reshape(image, background);
    d->nullscope->reshape(image, background);
}

void TGNCounter::setCloseHandler(std::function<void()> handler) {
    d->closeHandler = std::move(handler);
}

void TGNCounter::closeEvent(QCloseEvent* event) {
    // The window always closes; the handler runs the shutdown sequence first.
    if (d->closeHandler) d->closeHandler();
    event->accept();
}

}  // namespace acw
