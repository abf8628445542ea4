#include "dbusTestBus.h"

#include <QDBusArgument>

namespace sbtest {

DBusTestBus::~DBusTestBus() {
    if (daemon.state() != QProcess::NotRunning) {
        daemon.terminate();
        if (!daemon.waitForFinished(5000)) {
            daemon.kill();
            daemon.waitForFinished();
        }
    }
}

bool DBusTestBus::start() {
    daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                 QStringLiteral("--print-address=1")});
    if (!daemon.waitForStarted(10000))
        return false;
    while (!daemon.canReadLine()) {
        if (!daemon.waitForReadyRead(10000))
            return false;
    }
    addr = QString::fromLocal8Bit(daemon.readLine()).trimmed();
    return !addr.isEmpty();
}

DBusSignalSpy::DBusSignalSpy(QDBusConnection connection, const QString& service, const QString& path,
                             QList<QVariantMap>* changesOut, QList<qlonglong>* seeksOut)
    : changes(changesOut), seeks(seeksOut) {
    ok = connection.connect(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                            QStringLiteral("PropertiesChanged"), this,
                            SLOT(onPropertiesChanged(QString, QVariantMap, QStringList))) &&
         connection.connect(service, path, QStringLiteral("org.mpris.MediaPlayer2.Player"),
                            QStringLiteral("Seeked"), this, SLOT(onSeeked(qlonglong)));
}

void DBusSignalSpy::onPropertiesChanged(const QString&, const QVariantMap& changed, const QStringList&) {
    changes->append(changed);
}

void DBusSignalSpy::onSeeked(qlonglong position) {
    seeks->append(position);
}

} // namespace sbtest
