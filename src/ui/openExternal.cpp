#include "openExternal.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

void runFile(const QString& target) {
    if (target.isEmpty())
        return;
    // An existing file wins over a name that merely looks like "scheme:rest".
    const QUrl url(target);
    if (!url.scheme().isEmpty() && !QFileInfo::exists(target))
        QDesktopServices::openUrl(url);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath()));
}
