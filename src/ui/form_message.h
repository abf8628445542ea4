#pragma once
// The notification popup: a small frameless window above all others at the bottom right of the primary
// screen, a bold title and a message in white on a colour that tells the kind of notice. It never takes
// the focus, so the main window's keys keep working while it shows. Its timer, started at creation and
// never restarted, hides it every 4 seconds. User-interface thread only.
#include <QColor>
#include <QLabel>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

class QTimer;

enum TDialogMessType { dmtInfo, dmtWarning, dmtError };

// A plain filled rectangle; painted by hand so that no inherited style sheet can recolour it.
class TFillRect : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    QColor fillColor() const { return FFill; }
    void setFillColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor FFill;
};

class TFormMessage : public QWidget {
    Q_OBJECT
public:
    // Created hidden; the timer runs from here on. `owner` keeps the popup above it and frees it.
    explicit TFormMessage(QWidget* owner = nullptr);

    // Fills title, message and colour and places the window; does not show it.
    void showInfoMessage(const QString& sTitle, const QString& sMessage, TDialogMessType mType);

    // Top-left corner for a window of `window` size on a screen with geometry `screen`: 10 pixels from
    // the right edge, 50 from the bottom (room for a panel).
    static QPoint placement(const QRect& screen, const QSize& window);
    static QColor colorOf(TDialogMessType mType);
    // The colour shown now (pale green before the first notice).
    QColor noticeColor() const;

    static constexpr int period = 4000; // ms
    static inline const QColor clrI{0x26, 0xAA, 0x3A};
    static inline const QColor clrW{0xDC, 0xA8, 0x0B};
    static inline const QColor clrE{0xE6, 0x28, 0x28};
    static inline const QColor clrStart{0xBC, 0xD1, 0xBC};

    QTimer* Timer1 = nullptr;
    TFillRect* bck = nullptr;
    QLabel* Image1 = nullptr;
    QWidget* Layout1 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblMessage = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void Timer1Timer();
    void placeOnScreen();
};

// A label that wraps long words (paths) anywhere instead of letting them run out of sight.
class TWrapLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    bool hasHeightForWidth() const override { return false; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
