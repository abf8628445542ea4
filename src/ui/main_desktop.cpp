// Opening a folder or a track from outside the window: the command line, a request from the desktop or
// from a second start of the program, and drag and drop.
#include "const_sb.h"
#include "diagnosticLog.h"
#include "dorTools.h"
#include "fsPath.h"
#include "main.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <sys/stat.h>

QString TFormMain::startPath;

namespace {

bool isFolder(const QString& path) {
    struct stat st = {};
    return ::stat(pathBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A regular file with one of the extensions the track list shows.
bool isTrackFile(const QString& name) {
    if (!isRegularFile(name))
        return false;
    QStringList extensions;
    setExtensionList(extensions, sb::appFormats);
    const QString file = name.mid(name.lastIndexOf(pathDelim) + 1).toLower();
    const int dot = file.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && extensions.contains(file.mid(dot));
}

// The folder (ending in the delimiter) and the track name that `path` opens. False when it is not an
// absolute path naming an existing folder or a track file.
bool openTarget(const QString& path, QString* folder, QString* track) {
    if (!path.startsWith(pathDelim))
        return false;
    if (isFolder(path)) {
        *folder = withDelim(path);
        track->clear();
        return true;
    }
    if (!isTrackFile(path))
        return false;
    const int cut = path.lastIndexOf(pathDelim);
    *folder = path.left(cut + 1);
    *track = path.mid(cut + 1);
    return true;
}

} // namespace

void TFormMain::applyStartPath() {
    if (startPath.isEmpty())
        return;
    QString folder, track;
    if (!openTarget(startPath, &folder, &track)) {
        // Nothing to open: the remembered folder, as on any start.
        addLogValue(QStringLiteral("> Can not open"), displayPath(startPath));
        return;
    }
    addLogValue(QStringLiteral("> Open"), displayPath(startPath));
    currentFolder = folder;
    preferredTrack = track;
}

bool TFormMain::openPath(const QString& path) {
    QString folder, track;
    if (!openTarget(path, &folder, &track)) {
        addLogValue(QStringLiteral("> Can not open"), displayPath(path));
        return false;
    }
    addLogValue(QStringLiteral("> Open"), displayPath(path));
    preferredTrack = track;
    ScanFolder(folder);
    preferredTrack.clear(); // a scan that found no folder leaves it unused
    return true;
}

QString TFormMain::droppedPath(const QMimeData* data) {
    // Of several items, the first decides: tracks picked together in a file manager share their folder.
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return {};
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile())
        return {};
    // From the encoded form, so that a name that is not valid UTF-8 keeps its bytes.
    const QString path =
        pathFromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    QString folder, track;
    return openTarget(path, &folder, &track) ? path : QString();
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedPath(event->mimeData()).isEmpty())
        event->ignore(); // the usual "no drop" cursor
    else
        event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event) {
    const QString path = droppedPath(event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    runGuarded([this, path] { openPath(path); });
}
