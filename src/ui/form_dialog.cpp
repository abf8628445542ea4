#include "form_dialog.h"

#include "sbWidgets.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TFormDialog::TFormDialog(QWidget* owner, const QString& name, const QString& caption, int headerHeight,
                         bool withCancel)
    : QDialog(owner) {
    setObjectName(name);
    setWindowTitle(caption);
    setModal(true);

    FMainLayout = new QVBoxLayout(this);
    FMainLayout->setContentsMargins(0, 0, 0, 0);
    FMainLayout->setSpacing(0);

    LayoutHeader = new QFrame(this);
    LayoutHeader->setObjectName(QStringLiteral("LayoutHeader"));
    setStyleLookup(LayoutHeader, QStringLiteral("panelFormHeader"));
    LayoutHeader->setFixedHeight(headerHeight);
    FHeaderLayout = new QVBoxLayout(LayoutHeader);
    FHeaderLayout->setContentsMargins(20, 5, 20, 20);
    FHeaderLayout->setSpacing(0);
    lblCaption = new QLabel(QStringLiteral("Caption"), LayoutHeader);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->setTextFormat(Qt::PlainText);
    lblCaption->setFixedHeight(49);
    QFont big = lblCaption->font();
    big.setPixelSize(40);
    big.setWeight(QFont::Light);
    lblCaption->setFont(big);
    lblDescr = new QLabel(QStringLiteral("Description"), LayoutHeader);
    lblDescr->setObjectName(QStringLiteral("lblDescr"));
    lblDescr->setTextFormat(Qt::PlainText);
    lblDescr->setMinimumHeight(17);
    lblDescr->setContentsMargins(5, 0, 0, 0);
    // Long translated titles are cut rather than forcing the window wider.
    for (QLabel* l : {lblCaption, lblDescr})
        l->setSizePolicy(QSizePolicy::Ignored, l->sizePolicy().verticalPolicy());
    FHeaderLayout->addWidget(lblCaption);
    FHeaderLayout->addWidget(lblDescr);
    FHeaderLayout->addStretch(1);
    FMainLayout->addWidget(LayoutHeader);

    LayoutBottom = new QFrame(this);
    LayoutBottom->setObjectName(QStringLiteral("LayoutBottom"));
    setStyleLookup(LayoutBottom, QStringLiteral("panelFormButtons"));
    LayoutBottom->setFixedHeight(50);
    auto* buttons = new QHBoxLayout(LayoutBottom);
    buttons->setContentsMargins(10, 10, 10, 10);
    buttons->setSpacing(10);
    buttons->addStretch(1);
    btnOK = new QPushButton(QStringLiteral("OK"), LayoutBottom);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setMinimumSize(80, 30);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(btnOK);
    if (withCancel) {
        btnCancel = new QPushButton(QStringLiteral("Cancel"), LayoutBottom);
        btnCancel->setObjectName(QStringLiteral("btnCancel"));
        btnCancel->setMinimumSize(80, 30);
        btnCancel->setAutoDefault(false);
        connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
        buttons->addWidget(btnCancel);
    }
    FMainLayout->addWidget(LayoutBottom);
}

void TFormDialog::FormSetupText(const QString& sTitle, const QString& sDescr) {
    setWindowTitle(sTitle);
    lblCaption->setText(sTitle);
    lblDescr->setText(sDescr);
}

void TFormDialog::setBody(QWidget* body) {
    FMainLayout->insertWidget(1, body, 1);
}

void TFormDialog::centerOnScreen() {
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

bool TFormDialog::FormKeyDown(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    default:
        return false;
    }
}

bool TFormDialog::eventFilter(QObject* watched, QEvent* event) {
    // Every control of the window passes its key presses here first, so Enter and Escape close the
    // window whichever control has the focus.
    if (event->type() == QEvent::KeyPress && isVisible() && FormKeyDown(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TFormDialog::keyPressEvent(QKeyEvent* event) {
    if (!FormKeyDown(event))
        QDialog::keyPressEvent(event);
}

void TFormDialog::showEvent(QShowEvent* event) {
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    QDialog::showEvent(event);
}
