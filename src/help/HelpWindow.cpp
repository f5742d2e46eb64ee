#include "help/HelpWindow.h"

#include <QCloseEvent>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>

#include "help/HelpText.h"
#include "help/Schematic.h"

namespace acw {

namespace {

// Layout in pixels (twips / 15), relative to the client area.
constexpr int kClientWidth = 744;
constexpr int kClientHeight = 599;
constexpr QRect kText1Rect(8, 8, 729, 265);
constexpr QRect kPicture1Rect(8, 280, 545, 313);
constexpr QRect kLabel1Rect(560, 280, 177, 321);

// The window's small icon: a question mark on a green scope screen.
QIcon helpIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::black);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0, 255, 0));
    painter.drawRect(0, 0, 15, 15);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(13);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    painter.end();
    return QIcon(pixmap);
}

}  // namespace

Helpnow::Helpnow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Helpnow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Help"));
    setWindowIcon(helpIcon());
    setFixedSize(kClientWidth, kClientHeight);

    QFont dialogFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setStyleHint(QFont::SansSerif);
    dialogFont.setPixelSize(13);  // 9.75 pt at 96 dots per inch
    setFont(dialogFont);

    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(kText1Rect);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QPalette textPalette = text1_->palette();
    textPalette.setColor(QPalette::Base, QColor(224, 224, 224));
    textPalette.setColor(QPalette::Text, QColor(0, 0, 0));
    text1_->setPalette(textPalette);

    schematic_ = drawSchematic();
    picture1_ = new QLabel(this);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setGeometry(kPicture1Rect);
    picture1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture1_->setPixmap(QPixmap::fromImage(schematic_));

    label1_ = new QLabel(this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(kLabel1Rect);
    label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label1_->setWordWrap(true);
    QFont noteFont(QStringLiteral("Arial"));
    noteFont.setStyleHint(QFont::SansSerif);
    noteFont.setPixelSize(13);  // Arial 9.75 pt
    label1_->setFont(noteFont);
    label1_->setText(schematicNote());
    label1_->setTextFormat(Qt::PlainText);

    // Load: build the text. The edit control keeps lines as paragraphs, so it is shown line by
    // line; the exact built string stays available.
    builtText_ = buildHelpText();
    text1_->setProperty("builtText", builtText_);
    text1_->setPlainText(QString(builtText_).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    text1_->setFocus();  // first in the tab order
}

Helpnow::~Helpnow() = default;

void Helpnow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        emit closed();
    }
}

HelpLauncher::HelpLauncher(QObject* parent) : QObject(parent) {}

HelpLauncher::~HelpLauncher() {
    delete window_.data();
    for (const QPointer<Helpnow>& help : closing_) {
        delete help.data();
    }
}

Helpnow* HelpLauncher::showHelp() {
    if (window_ == nullptr) {
        // No owner: the help window is a window of its own, and the main window stays usable.
        auto* help = new Helpnow(nullptr);
        // A closed window is gone for good, even before its deletion has run: the next "Help"
        // builds a new one.
        connect(help, &Helpnow::closed, this, [this, help] {
            if (window_ == help) {
                window_ = nullptr;
            }
            closing_.removeIf([](const QPointer<Helpnow>& h) { return h.isNull(); });
            closing_.append(help);
        });
        window_ = help;
        help->show();
    } else {
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
        window_->show();
    }
    window_->raise();
    window_->activateWindow();
    return window_.data();
}

void HelpLauncher::closeHelp() {
    if (window_ != nullptr) {
        window_->close();
    }
}

}  // namespace acw
