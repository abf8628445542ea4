#include "heldKeyGuard.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

namespace {
// A press this close to the release of the same key comes from the key's repeat, not from a hand.
constexpr quint64 repeatSlackMs = 2;
} // namespace

THeldKeyGuard::THeldKeyGuard(QWidget* owner) : QObject(owner), window(owner) {
    qApp->installEventFilter(this);
}

THeldKeyGuard::~THeldKeyGuard() {
    qApp->removeEventFilter(this);
}

bool THeldKeyGuard::isNonRepeatingShortcut(int key, Qt::KeyboardModifiers modifiers) const {
    const QKeySequence pressed(QKeyCombination(modifiers & ~Qt::KeypadModifier, Qt::Key(key)));
    for (const QAction* action : window->actions())
        if (!action->autoRepeat() && action->shortcuts().contains(pressed))
            return true;
    return false;
}

bool THeldKeyGuard::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    // Each event reaches the window and then the widget with the focus: only the first sight counts.
    if (!watched->isWindowType())
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::KeyRelease) {
        if (!key->isAutoRepeat()) {
            releasedKey = key->key();
            releasedAt = key->timestamp();
        }
        return QObject::eventFilter(watched, event);
    }
    const bool repeat = key->isAutoRepeat() || (key->key() == releasedKey && key->timestamp() >= releasedAt &&
                                                key->timestamp() - releasedAt <= repeatSlackMs);
    if (repeat && isNonRepeatingShortcut(key->key(), key->modifiers())) {
        // Taken as the window's own key: the shortcut does not fire, the focus widget ignores it.
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
