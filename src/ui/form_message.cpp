#include "form_message.h"
#include "sbWidgets.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int clientWidth = 575;
constexpr int clientHeight = 151;
constexpr int iconColumn = 89;
constexpr int iconSize = 64;

// A white "i" in a ring: the information sign, drawn so that it stays sharp at any scale.
QPixmap infoIcon(qreal ratio) {
    QPixmap pix(QSize(iconSize, iconSize) * ratio);
    pix.setDevicePixelRatio(ratio);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(4, 4, iconSize - 8, iconSize - 8));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(28, 15, 8, 8));
    p.drawRoundedRect(QRectF(28.5, 27, 7, 22), 2, 2);
    return pix;
}
} // namespace

TFormMessage::TFormMessage(QWidget* owner)
    : QWidget(owner,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("FormMessage"));
    // Shown without activation: the main window stays the active one, so its shortcuts (F1, F2, F8,
    // Esc) keep reaching it while a notice is up.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11NetWmWindowTypeNotification);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Message"));
    setFixedSize(clientWidth, clientHeight);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    bck = new TFillRect(this);
    bck->setObjectName(QStringLiteral("bck"));
    outer->addWidget(bck);

    auto* row = new QHBoxLayout(bck);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    Image1 = new QLabel(bck);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedWidth(iconColumn);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(infoIcon(devicePixelRatioF()));
    row->addWidget(Image1);

    Layout1 = new QWidget(bck);
    Layout1->setObjectName(QStringLiteral("Layout1"));
    auto* column = new QVBoxLayout(Layout1);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(6);
    lblTitle = new QLabel(Layout1);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setTextFormat(Qt::PlainText);
    lblMessage = new TWrapLabel(Layout1);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setTextFormat(Qt::PlainText);
    lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    column->addWidget(lblTitle);
    column->addWidget(lblMessage, 1);
    row->addWidget(Layout1, 1);

    bck->setFillColor(clrStart);
    // The popup's own sheet wins over any sheet it inherits from its owner.
    setStyleSheet(QStringLiteral("QLabel { color: white; background: transparent; }"
                                 "#lblTitle { font-weight: bold; font-size: 14px; }"
                                 "#lblMessage { font-size: 14px; }"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(period);
    connect(Timer1, &QTimer::timeout, this, &TFormMessage::Timer1Timer);
    Timer1->start();
}

QPoint TFormMessage::placement(const QRect& screen, const QSize& window) {
    return {screen.left() + screen.width() - window.width() - 10,
            screen.top() + screen.height() - window.height() - 50};
}

QColor TFormMessage::colorOf(TDialogMessType mType) {
    switch (mType) {
    case dmtWarning:
        return clrW;
    case dmtError:
        return clrE;
    default:
        return clrI;
    }
}

void TFormMessage::showInfoMessage(const QString& sTitle, const QString& sMessage, TDialogMessType mType) {
    setWindowTitle(sTitle);
    lblTitle->setText(sTitle);
    lblMessage->setText(sMessage);
    lblMessage->setToolTip(plainToolTip(sMessage));
    placeOnScreen();
    bck->setFillColor(colorOf(mType));
}

void TFormMessage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TFormMessage::FormShow() {
    placeOnScreen();
}

void TFormMessage::Timer1Timer() {
    // The timer is never restarted by a notice: a later notice lasts until the next tick.
    if (isVisible())
        hide();
}

void TFormMessage::placeOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    move(placement(screen->geometry(), size()));
}

QColor TFormMessage::noticeColor() const {
    return bck->fillColor();
}

void TFillRect::setFillColor(const QColor& color) {
    FFill = color;
    update();
}

void TFillRect::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), FFill);
}

void TWrapLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect area = contentsRect();
    p.setClipRect(area);
    p.setFont(font());
    p.setPen(palette().color(foregroundRole()));
    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    p.drawText(QRectF(area), text(), option);
}
