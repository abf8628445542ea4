#pragma once
// Keeps a held key from triggering, over and over, the window's actions that must not repeat
// (QAction::autoRepeat false). Qt drops key repeats that it recognises as such; on X11 it recognises a
// repeat by finding the server's press already queued when it reads the release, and under load the
// press comes a moment later and passes for a new one. The server gives such a release and press the same
// time stamp, which no hand can: that press is stopped before it reaches the window's shortcuts.
// User-interface thread only.
#include <QObject>

class QWidget;

class THeldKeyGuard : public QObject {
    Q_OBJECT
public:
    // Watches the key events of the whole application for `window`'s actions; owned by `window`.
    explicit THeldKeyGuard(QWidget* window);
    ~THeldKeyGuard() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isNonRepeatingShortcut(int key, Qt::KeyboardModifiers modifiers) const;
    QWidget* window;
    int releasedKey = 0;
    quint64 releasedAt = 0;
};
