#pragma once
// The about window: name, version and build, date and formats, the program's icon, and the home page
// as a link that opens in the web browser. Holds no state and stores nothing.
#include "form_dialog.h"

#include <QLabel>

class TLanguageEngine;

// A label that reports clicks with the left button.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class TFormAbout : public TFormDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* owner = nullptr);

    // Caption and title, description, and the link's address.
    void FormSetupText(const QString& sTitle, const QString& sDescr, const QString& sLink);
    void FormSetInfo(const QString& sText);

    // The four lines: name, version and build, date, formats; the labels looked up in `engine` (the
    // built-in texts when it is null).
    static QString infoText(const TLanguageEngine* engine);

    TClickLabel* lblLink = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lblInfo = nullptr;

private:
    void lblLinkClick();
};
