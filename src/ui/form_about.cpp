#include "form_about.h"

#include "const_sb.h"
#include "dorLanguage.h"
#include "openExternal.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace {
QPixmap productIcon(int size, qreal ratio) {
    QPixmap pix(QSize(size, size) * ratio);
    pix.setDevicePixelRatio(ratio);
    pix.fill(Qt::transparent);
    QSvgRenderer svg(QStringLiteral(":/icons/sonabin.svg"));
    if (svg.isValid()) {
        QPainter p(&pix);
        svg.render(&p, QRectF(0, 0, size, size));
    }
    return pix;
}
} // namespace

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void TClickLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

TFormAbout::TFormAbout(QWidget* owner)
    : TFormDialog(owner, QStringLiteral("FormAbout"), QStringLiteral("About"), 105, false) {
    lblLink = new TClickLabel(LayoutHeader);
    lblLink->setObjectName(QStringLiteral("lblLink"));
    lblLink->setTextFormat(Qt::PlainText);
    lblLink->setWordWrap(false);
    lblLink->setCursor(Qt::PointingHandCursor);
    lblLink->setFocusPolicy(Qt::TabFocus);
    QFont linkFont = lblLink->font();
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    lblLink->setFont(linkFont);
    lblLink->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(lblLink, &TClickLabel::clicked, this, &TFormAbout::lblLinkClick);
    auto* linkRow = new QHBoxLayout();
    linkRow->setContentsMargins(4, 4, 0, 0);
    linkRow->addWidget(lblLink);
    linkRow->addStretch(1);
    headerLayout()->insertLayout(2, linkRow);

    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("LayoutContent"));
    auto* row = new QHBoxLayout(body);
    row->setContentsMargins(24, 7, 11, 7);
    row->setSpacing(24);
    Image1 = new QLabel(body);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(72, 72);
    Image1->setPixmap(productIcon(72, devicePixelRatioF()));
    lblInfo = new QLabel(body);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setTextFormat(Qt::PlainText);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblInfo->setMinimumSize(465, 89);
    row->addWidget(Image1, 0, Qt::AlignTop);
    row->addWidget(lblInfo, 1);
    setBody(body);

    resize(596, 285);
    centerOnScreen();
}

void TFormAbout::FormSetupText(const QString& sTitle, const QString& sDescr, const QString& sLink) {
    TFormDialog::FormSetupText(sTitle, sDescr);
    lblLink->setText(sLink);
    lblLink->setToolTip(sLink);
    lblLink->adjustSize();
}

void TFormAbout::FormSetInfo(const QString& sText) {
    lblInfo->setText(sText);
}

QString TFormAbout::infoText(const TLanguageEngine* engine) {
    const auto text = [engine](const char* key, const char* def) {
        const QString fallback = QString::fromLatin1(def);
        return engine ? engine->getText(QString::fromLatin1(key), fallback) : fallback;
    };
    return sb::appTitle + QLatin1Char('\n') + text("txt_version", "Version") + QStringLiteral(": ") +
           sb::appVersion + QLatin1Char(' ') + text("txt_build", "Build") + QStringLiteral(": ") +
           sb::appBuild + QLatin1Char('\n') + sb::appDate + QLatin1Char('\n') +
           text("txt_formats", "Supported formats") + QStringLiteral(": ") + sb::appFormats;
}

void TFormAbout::lblLinkClick() {
    // The address shown is the address opened.
    runFile(lblLink->text());
}
