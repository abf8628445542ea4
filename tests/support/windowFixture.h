#pragma once
// For the tests of the program's windows: the settings file a test program's window reads, a normal start
// written into it, and a hand on the modal dialogs a window opens. Header only, as the support library
// links no widgets.
#include "const_sb.h"
#include "dorTools.h"
#include "sbtest.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <functional>

namespace sbtest {

// The settings file of this test program (named after the executable, as the program's own is).
inline QString iniPath() {
    return getAppDataFolder(sb::settingsFolder, true) + QFileInfo(getExeFileName()).completeBaseName() +
           QStringLiteral(".ini");
}

struct StartFolders {
    QString base;  // the collections' base folder, without a trailing delimiter
    QString music; // an empty start folder, ending in '/', so that nothing plays
};

// A settings file for a normal (not first) start in `language`, with a fresh base folder and start folder;
// `extra` lines go at its end.
inline StartFolders writeIni(const QString& language, const QByteArray& extra = QByteArray()) {
    StartFolders s{makeTempDir(QStringLiteral("base")), makeTempDir(QStringLiteral("music")) + '/'};
    const QByteArray text = "[common]\r\ncounter=1\r\nlanguage=" + language.toUtf8() +
                            "\r\nfolder_lib=" + s.base.toUtf8() + "\r\nfolder_curr=" + s.music.toUtf8() +
                            "\r\n" + extra;
    writeFile(iniPath(), text);
    return s;
}

// Runs `open` (which shows a modal dialog of type D) and calls `act` on that dialog once it shows. A
// dialog still open after `act` is rejected, so that a failing test never hangs.
template <class D> bool whileModal(const std::function<void()>& open, const std::function<void(D*)>& act) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!d || !d->isVisible())
            return;
        poll.stop();
        seen = true;
        act(d);
        if (d->isVisible())
            d->reject();
    });
    poll.start();
    open();
    return seen;
}

} // namespace sbtest
