#pragma once
// The frame shared by the options, help and about windows: a header with a large title and a
// description, a body, and a button bar with OK (and Cancel). Modal and owned by the main window, whose
// style sheet it inherits. Enter anywhere in the window closes it with OK, Escape with Cancel.
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QVBoxLayout;

class TFormDialog : public QDialog {
    Q_OBJECT
public:
    // `name` is the window's object name; `caption` its design caption until FormSetupText.
    TFormDialog(QWidget* owner, const QString& name, const QString& caption, int headerHeight,
                bool withCancel);

    // The caption and the title label take `sTitle`, the description label `sDescr`.
    void FormSetupText(const QString& sTitle, const QString& sDescr);
    // The window handed to the translation.
    QWidget* formGet() { return this; }

    QFrame* LayoutHeader = nullptr;
    QLabel* lblCaption = nullptr;
    QLabel* lblDescr = nullptr;
    QFrame* LayoutBottom = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    // Puts `body` between the header and the button bar.
    void setBody(QWidget* body);
    QVBoxLayout* headerLayout() const { return FHeaderLayout; }
    // Places the window in the middle of the owner's screen (of the primary one without an owner).
    void centerOnScreen();

    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool FormKeyDown(const QKeyEvent* event);

    QVBoxLayout* FMainLayout = nullptr;
    QVBoxLayout* FHeaderLayout = nullptr;
};
