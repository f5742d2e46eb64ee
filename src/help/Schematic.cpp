#include "help/Schematic.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <array>

namespace acw {

namespace {

// Draws the circuit symbols in black, one pixel wide, without antialiasing, so that the picture
// converts to one bit per pixel without losing anything.
class Draftsman {
public:
    explicit Draftsman(QPainter& painter) : p_(painter) {}

    void wire(int x1, int y1, int x2, int y2) { p_.drawLine(x1, y1, x2, y2); }

    void dot(int x, int y) {
        p_.setBrush(Qt::black);
        p_.drawEllipse(QPoint(x, y), 2, 2);
        p_.setBrush(Qt::NoBrush);
    }

    void terminal(int x, int y) {
        p_.setBrush(Qt::white);
        p_.drawEllipse(QPoint(x, y), 3, 3);
        p_.setBrush(Qt::NoBrush);
    }

    // A zigzag resistor on the horizontal wire from x1 to x2.
    void resistorH(int x1, int x2, int y) {
        const int lead = (x2 - x1) / 5;
        const int a = x1 + lead;
        const int b = x2 - lead;
        wire(x1, y, a, y);
        wire(b, y, x2, y);
        zigzag(QPoint(a, y), QPoint(b, y), true);
    }

    // A zigzag resistor on the vertical wire from y1 to y2.
    void resistorV(int x, int y1, int y2) {
        const int lead = (y2 - y1) / 5;
        const int a = y1 + lead;
        const int b = y2 - lead;
        wire(x, y1, x, a);
        wire(x, b, x, y2);
        zigzag(QPoint(x, a), QPoint(x, b), false);
    }

    // A capacitor on the vertical wire from y1 to y2: two plates across the middle.
    void capacitorV(int x, int y1, int y2) {
        const int mid = (y1 + y2) / 2;
        wire(x, y1, x, mid - 3);
        wire(x, mid + 3, x, y2);
        p_.fillRect(x - 9, mid - 4, 19, 2, Qt::black);
        p_.fillRect(x - 9, mid + 3, 19, 2, Qt::black);
    }

    // A zener diode on the vertical wire from y1 to y2, cathode at the top when `cathodeUp`.
    void zenerV(int x, int y1, int y2, bool cathodeUp) {
        const int mid = (y1 + y2) / 2;
        const int half = 6;
        const int tip = cathodeUp ? mid - half : mid + half;   // the bar
        const int base = cathodeUp ? mid + half : mid - half;  // the triangle's base
        wire(x, y1, x, std::min(tip, base));
        wire(x, std::max(tip, base), x, y2);
        const std::array<QPoint, 3> triangle{QPoint(x - 6, base), QPoint(x + 6, base),
                                             QPoint(x, tip)};
        p_.setBrush(Qt::black);
        p_.drawPolygon(triangle.data(), static_cast<int>(triangle.size()));
        p_.setBrush(Qt::NoBrush);
        // The zener's bar with its bent ends.
        wire(x - 6, tip, x + 6, tip);
        const int bend = cathodeUp ? 3 : -3;
        wire(x - 6, tip, x - 8, tip + bend);
        wire(x + 6, tip, x + 8, tip - bend);
    }

    // A winding of `turns` half circles along a horizontal line, bulging up or down.
    void coilH(int x1, int y, int turns, int turnPixels, bool up) {
        for (int i = 0; i < turns; ++i) {
            const QRect box(x1 + i * turnPixels, y - turnPixels / 2, turnPixels, turnPixels);
            p_.drawArc(box, up ? 0 : 180 * 16, 180 * 16);
        }
    }

    // A winding along a vertical line, bulging right or left.
    void coilV(int x, int y1, int turns, int turnPixels, bool right) {
        for (int i = 0; i < turns; ++i) {
            const QRect box(x - turnPixels / 2, y1 + i * turnPixels, turnPixels, turnPixels);
            p_.drawArc(box, right ? -90 * 16 : 90 * 16, 180 * 16);
        }
    }

    void ground(int x, int y) {
        wire(x, y, x, y + 5);
        wire(x - 7, y + 5, x + 7, y + 5);
        wire(x - 4, y + 8, x + 4, y + 8);
        wire(x - 1, y + 11, x + 1, y + 11);
    }

    void text(int x, int y, const QString& s) { p_.drawText(x, y, s); }

    void textCentred(int xCentre, int y, const QString& s) {
        const int width = p_.fontMetrics().horizontalAdvance(s);
        p_.drawText(xCentre - width / 2, y, s);
    }

    void setFont(int pixelSize, bool bold) {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        font.setStyleStrategy(QFont::NoAntialias);
        p_.setFont(font);
    }

private:
    void zigzag(QPoint from, QPoint to, bool horizontal) {
        constexpr int kPeaks = 6;
        constexpr int kAmplitude = 4;
        const int length = horizontal ? to.x() - from.x() : to.y() - from.y();
        QPoint last = from;
        for (int i = 0; i < kPeaks; ++i) {
            const int along = (2 * i + 1) * length / (2 * kPeaks);
            const int side = (i % 2 == 0) ? -kAmplitude : kAmplitude;
            const QPoint peak = horizontal ? QPoint(from.x() + along, from.y() + side)
                                           : QPoint(from.x() + side, from.y() + along);
            p_.drawLine(last, peak);
            last = peak;
        }
        p_.drawLine(last, to);
    }

    QPainter& p_;
};

// Series resistor, shunt resistor, clamp zeners, filter capacitor and the output terminals of one
// channel, between its signal rail `top` and its return rail `bottom`.
void drawChannelNetwork(Draftsman& d, int top, int bottom, const QString& series,
                        const QString& shunt, const QString& channel, const QString& scale1,
                        const QString& scale2) {
    constexpr int kSeriesFrom = 188;
    constexpr int kSeriesTo = 244;
    constexpr int kShuntX = 272;
    constexpr int kZenerX = 322;
    constexpr int kCapX = 382;
    constexpr int kOutX = 440;

    d.resistorH(kSeriesFrom, kSeriesTo, top);
    d.wire(kSeriesTo, top, kOutX - 3, top);
    d.setFont(11, false);
    d.textCentred((kSeriesFrom + kSeriesTo) / 2, top - 8, series);

    d.resistorV(kShuntX, top, bottom);
    d.text(kShuntX + 8, (top + bottom) / 2 + 4, shunt);

    const int mid = (top + bottom) / 2;
    d.zenerV(kZenerX, top, mid, true);
    d.zenerV(kZenerX, mid, bottom, false);
    d.setFont(10, false);
    d.text(kZenerX + 11, top + 16, QStringLiteral("5.1V"));
    d.text(kZenerX + 11, top + 27, QStringLiteral("1/2W"));
    d.text(kZenerX + 11, bottom - 15, QStringLiteral("5.1V"));
    d.text(kZenerX + 11, bottom - 4, QStringLiteral("1/2W"));

    d.capacitorV(kCapX, top, bottom);
    d.text(kCapX + 12, mid - 2, QStringLiteral("0.01"));
    d.text(kCapX + 12, mid + 10, QStringLiteral("uF"));

    d.wire(kShuntX - 30, bottom, kOutX - 3, bottom);
    for (int x : {kShuntX, kZenerX, kCapX}) {
        d.dot(x, top);
        d.dot(x, bottom);
    }
    d.terminal(kOutX, top);
    d.terminal(kOutX, bottom);
    d.ground(kOutX - 16, bottom);

    d.setFont(11, true);
    d.text(kOutX + 8, top + 4, channel);
    d.setFont(10, false);
    d.text(kOutX + 8, bottom + 4, QStringLiteral("GND"));
    d.text(kOutX + 8, top + 19, QStringLiteral("TO SOUND"));
    d.text(kOutX + 8, top + 30, QStringLiteral("CARD LINE IN"));
    d.setFont(10, true);
    d.text(kOutX + 8, top + 44, scale1);
    d.text(kOutX + 8, top + 55, scale2);
}

}  // namespace

QImage drawSchematic() {
    QImage canvas(kSchematicWidth, kSchematicHeight, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setPen(QPen(Qt::black, 1));
        Draftsman d(painter);

        d.setFont(13, true);
        d.textCentred(kSchematicWidth / 2, 16,
                      QStringLiteral("AC LINE MONITOR TO SOUND CARD INTERFACE"));

        // The line: hot at the top, neutral at the bottom, from the input on the left to the
        // load on the right. The hot side runs through the primary of T1.
        constexpr int kHot = 46;
        constexpr int kNeutral = 296;
        constexpr int kLineIn = 10;
        constexpr int kLoad = 532;
        d.terminal(kLineIn, kHot);
        d.terminal(kLineIn, kNeutral);
        d.terminal(kLoad, kHot);
        d.terminal(kLoad, kNeutral);
        d.setFont(10, true);
        d.text(4, 30, QStringLiteral("120 VAC IN"));
        d.text(4, 41, QStringLiteral("30 A MAX"));
        d.text(kLoad - 40, kHot - 6, QStringLiteral("TO LOAD"));
        d.text(kLoad - 40, kNeutral + 14, QStringLiteral("TO LOAD"));
        d.setFont(10, false);
        d.text(4, kHot + 14, QStringLiteral("LINE"));
        d.text(4, kNeutral + 14, QStringLiteral("NEUTRAL"));

        // T1, the current transformer: primary in the hot line, secondary below the core.
        constexpr int kT1Left = 100;
        constexpr int kT1Turns = 4;
        constexpr int kTurn = 9;
        constexpr int kT1Right = kT1Left + kT1Turns * kTurn;
        d.wire(kLineIn + 3, kHot, kT1Left, kHot);
        d.coilH(kT1Left, kHot, kT1Turns, kTurn, false);
        d.wire(kT1Right, kHot, kLoad - 3, kHot);
        d.wire(kT1Left - 2, kHot + 8, kT1Right + 2, kHot + 8);
        d.wire(kT1Left - 2, kHot + 10, kT1Right + 2, kHot + 10);
        constexpr int kT1Secondary = kHot + 18;
        d.coilH(kT1Left, kT1Secondary, kT1Turns, kTurn, true);
        d.setFont(11, true);
        d.text(kT1Right + 6, kHot + 16, QStringLiteral("T1"));
        d.setFont(10, false);
        d.text(kT1Right + 24, kHot + 16, QStringLiteral("CURRENT TRANSFORMER"));

        // The right channel: T1's secondary loaded by the 62 ohm burden.
        constexpr int kRTop = 84;
        constexpr int kRBottom = 150;
        d.wire(kT1Right, kT1Secondary, kT1Right, kRTop);
        d.wire(kT1Right, kRTop, 188, kRTop);
        d.wire(kT1Left, kT1Secondary, kT1Left, kRBottom);
        d.wire(kT1Left, kRBottom, 242, kRBottom);
        constexpr int kBurdenX = 162;
        d.resistorV(kBurdenX, kRTop, kRBottom);
        d.dot(kBurdenX, kRTop);
        d.dot(kBurdenX, kRBottom);
        d.setFont(11, false);
        d.text(kBurdenX + 8, (kRTop + kRBottom) / 2 - 2, QStringLiteral("62"));
        d.text(kBurdenX + 8, (kRTop + kRBottom) / 2 + 10, QStringLiteral("OHM"));
        drawChannelNetwork(d, kRTop, kRBottom, QStringLiteral("2K"), QStringLiteral("1K"),
                           QStringLiteral("RIGHT CH."), QStringLiteral("30 mV PER"),
                           QStringLiteral("AMPERE"));

        // T2, 120 VAC to 12 VAC: primary across the line, secondary to the left channel.
        constexpr int kLTop = 196;
        constexpr int kLBottom = 262;
        constexpr int kBusX = 40;
        constexpr int kT2Primary = 70;
        constexpr int kT2Secondary = 104;
        constexpr int kT2Turns = 6;
        constexpr int kT2Turn = (kLBottom - kLTop) / kT2Turns;
        constexpr int kT2Bottom = kLTop + kT2Turns * kT2Turn;
        d.dot(kBusX, kHot);
        d.wire(kBusX, kHot, kBusX, kLTop);
        d.wire(kBusX, kLTop, kT2Primary, kLTop);
        d.coilV(kT2Primary, kLTop, kT2Turns, kT2Turn, true);
        d.wire(kT2Primary, kT2Bottom, kT2Primary, kNeutral);
        d.wire(kLineIn + 3, kNeutral, kLoad - 3, kNeutral);
        d.dot(kT2Primary, kNeutral);
        d.wire(kT2Primary + 12, kLTop - 2, kT2Primary + 12, kT2Bottom + 2);
        d.wire(kT2Primary + 14, kLTop - 2, kT2Primary + 14, kT2Bottom + 2);
        d.coilV(kT2Secondary - 6, kLTop, kT2Turns, kT2Turn, false);
        d.wire(kT2Secondary - 6, kLTop, 188, kLTop);
        d.wire(kT2Secondary - 6, kT2Bottom, 242, kT2Bottom);
        d.setFont(11, true);
        d.text(kT2Primary - 2, kLTop - 8, QStringLiteral("T2"));
        d.setFont(10, false);
        d.text(kT2Primary - 46, kT2Bottom + 14, QStringLiteral("120 VAC"));
        d.text(kT2Secondary + 4, kT2Bottom + 14, QStringLiteral("12 VAC"));
        drawChannelNetwork(d, kLTop, kT2Bottom, QStringLiteral("11K"), QStringLiteral("1K"),
                           QStringLiteral("LEFT CH."), QStringLiteral("120 VAC IN ="),
                           QStringLiteral("1 VAC OUT"));
    }

    // One bit per pixel: index 0 black, index 1 white.
    QImage mono(kSchematicWidth, kSchematicHeight, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < kSchematicHeight; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < kSchematicWidth; ++x) {
            mono.setPixel(x, y, qGray(src[x]) >= 128 ? 1u : 0u);
        }
    }
    return mono;
}

}  // namespace acw
