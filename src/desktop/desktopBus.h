#pragma once
// The program on the session bus: MPRIS 2 (org.mpris.MediaPlayer2 and its Player interface), so that the
// keyboard's media keys and the panel's media applet control it, and the program's own interface
// (org.sonabin.Sonabin: Like, TakeBack, Open) for global shortcuts and a second start of the program. It is a
// client of IRemotePlayer only.
//
// Threads: user-interface thread; Qt D-Bus delivers the calls there.
#include "remotePlayer.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QTimer;

class TDesktopBus : public QObject {
    Q_OBJECT
public:
    static const QString serviceName;   // org.mpris.MediaPlayer2.sonabin
    static const QString objectPath;    // /org/mpris/MediaPlayer2
    static const QString rootInterface; // org.mpris.MediaPlayer2
    static const QString playerInterface;
    static const QString ownInterface; // org.sonabin.Sonabin

    enum class Claim {
        NoBus, // no session bus, or the name could not be had: the program runs without
        Owner, // this process serves the name
        Taken  // another instance serves it
    };

    explicit TDesktopBus(const QDBusConnection& connection, QObject* parent = nullptr);
    ~TDesktopBus() override;

    // Publishes the objects and claims the service name; logs one line when there is no bus.
    Claim claim();
    // Starts serving `player` (not owned). Pass nullptr before the player goes; calls then do nothing.
    void setPlayer(IRemotePlayer* player);
    IRemotePlayer* player() const { return remote; }

    // Compares the player's state with what was last published and signals the differences
    // (PropertiesChanged, and Seeked for a jump of the position). Runs every 250 ms and after each command.
    void refresh();
    // The Player interface's properties as now published, Position excluded (it is read live).
    QVariantMap publishedPlayerProperties();
    // The current track's object path, as published in the metadata.
    QString currentTrackId() const;

    // Runs a command for a caller on the bus, then publishes what changed.
    bool command(IRemotePlayer::Command c);
    // Seeks and tells the bus (Seeked). `positionUs` absolute.
    void seekTo(qint64 positionUs);

    // Client side, for a second start: asks the instance that serves the name. False (with a reason in
    // `error`) when it does not answer or refuses.
    static bool sendLike(const QDBusConnection& connection, int button, QString* error);
    static bool sendOpen(const QDBusConnection& connection, const QString& path, QString* error);
    static bool sendRaise(const QDBusConnection& connection, QString* error);

    // Metadata for one state: the map MPRIS publishes (mpris:trackid, xesam:url, mpris:length,
    // xesam:title, and xesam:artist / xesam:album when tagged).
    static QVariantMap metadataFor(const IRemotePlayer::State& state, const QString& trackId,
                                   const QString& title, const QString& artist, const QString& album);
    // A file path as a file:// address, its bytes kept.
    static QString fileUrl(const QString& path);

private:
    QVariantMap propertiesFor(const IRemotePlayer::State& state) const;
    void signalChanges(const QString& interface, const QVariantMap& changed);
    void signalSeeked(qint64 positionUs);

    QDBusConnection bus;
    IRemotePlayer* remote = nullptr;
    QTimer* poll = nullptr;
    bool serving = false;

    // What was last published.
    QVariantMap published;
    QString publishedTrack;
    qint64 publishedLengthUs = -1;
    quint64 trackNumber = 0;
    QString title, artist, album;
    qint64 lastPositionUs = 0;
    bool lastPlaying = false;
    QElapsedTimer sinceLastPosition;
};
