#pragma once
// A private session bus for a test (dbus-daemon, ended with the object), and a spy on the MPRIS signals.
#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QVariantMap>

namespace sbtest {

class DBusTestBus {
public:
    DBusTestBus() = default;
    ~DBusTestBus();
    // Starts the daemon; false when it cannot be started.
    bool start();
    QString address() const { return addr; }

private:
    QProcess daemon;
    QString addr;
};

// Records PropertiesChanged (the changed map) and Seeked (the position) of one object.
class DBusSignalSpy : public QObject {
    Q_OBJECT
public:
    DBusSignalSpy(QDBusConnection connection, const QString& service, const QString& path,
                  QList<QVariantMap>* changes, QList<qlonglong>* seeks);
    bool connected() const { return ok; }

private slots:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);
    void onSeeked(qlonglong position);

private:
    QList<QVariantMap>* changes;
    QList<qlonglong>* seeks;
    bool ok = false;
};

} // namespace sbtest
