// MPRIS 2 and the program's own interface on the session bus. The adaptors below only translate calls;
// TDesktopBus keeps what was last published, so that each change is signalled once.
#include "desktopBus.h"

#include "AudioDecoder.h"
#include "diagnosticLog.h"
#include "fsPath.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <limits>

const QString TDesktopBus::serviceName = QStringLiteral("org.mpris.MediaPlayer2.sonabin");
const QString TDesktopBus::objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString TDesktopBus::rootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString TDesktopBus::playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString TDesktopBus::ownInterface = QStringLiteral("org.sonabin.Sonabin");

namespace {

using Command = IRemotePlayer::Command;
using Status = IRemotePlayer::Status;

const QString noTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
// A position that differs from the expected one by more than this was a jump, not playback going on.
constexpr qint64 kSeekToleranceUs = 1'000'000;

QString statusText(Status s) {
    switch (s) {
    case Status::Playing:
        return QStringLiteral("Playing");
    case Status::Paused:
        return QStringLiteral("Paused");
    case Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

} // namespace

// org.mpris.MediaPlayer2
class TMprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)
public:
    explicit TMprisRootAdaptor(TDesktopBus* owner) : QDBusAbstractAdaptor(owner), bus(owner) {}
    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Sonabin Free"); }
    QString desktopEntry() const { return QStringLiteral("sonabin"); }
    QStringList uriSchemes() const { return {QStringLiteral("file")}; }
    // The types of the desktop entry (resources/sonabin.desktop).
    QStringList mimeTypes() const {
        return {QStringLiteral("audio/mpeg"),         QStringLiteral("audio/flac"),
                QStringLiteral("audio/x-flac"),       QStringLiteral("audio/ogg"),
                QStringLiteral("audio/x-vorbis+ogg"), QStringLiteral("audio/opus"),
                QStringLiteral("audio/x-opus+ogg"),   QStringLiteral("audio/mp4"),
                QStringLiteral("audio/x-m4a"),        QStringLiteral("audio/wav"),
                QStringLiteral("audio/x-wav")};
    }

public slots:
    void Raise() {
        if (IRemotePlayer* p = bus->player())
            p->raise();
    }
    void Quit() {
        if (IRemotePlayer* p = bus->player())
            p->quit();
    }

private:
    TDesktopBus* bus;
};

// org.mpris.MediaPlayer2.Player
class TMprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ one WRITE setRate)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(double Volume READ one WRITE setVolume)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    explicit TMprisPlayerAdaptor(TDesktopBus* owner) : QDBusAbstractAdaptor(owner), bus(owner) {}

    QString playbackStatus() const { return value("PlaybackStatus").toString(); }
    // The player has one speed and no volume of its own: both stay 1.0, and setting them does nothing.
    double one() const { return 1.0; }
    void setRate(double) {}
    void setVolume(double) {}
    QVariantMap metadata() const { return value("Metadata").toMap(); }
    qlonglong position() const {
        IRemotePlayer* p = bus->player();
        return p ? p->state().positionUs : 0;
    }
    bool canGoNext() const { return value("CanGoNext").toBool(); }
    bool canGoPrevious() const { return value("CanGoPrevious").toBool(); }
    bool canPlay() const { return value("CanPlay").toBool(); }
    bool canPause() const { return value("CanPause").toBool(); }
    bool canSeek() const { return value("CanSeek").toBool(); }
    bool canControl() const { return true; }

public slots:
    void Next() { bus->command(Command::Next); }
    void Previous() { bus->command(Command::Previous); }
    void Pause() { bus->command(Command::Pause); }
    void PlayPause() { bus->command(Command::PlayPause); }
    void Stop() { bus->command(Command::Stop); }
    void Play() { bus->command(Command::Play); }
    void Seek(qlonglong offset) {
        IRemotePlayer* p = bus->player();
        if (!p)
            return;
        const IRemotePlayer::State s = p->state();
        if (!s.canSeek)
            return;
        qint64 target = 0;
        if (__builtin_add_overflow(s.positionUs, offset, &target)) // any offset may come over the bus
            target = offset > 0 ? std::numeric_limits<qint64>::max() : 0;
        target = std::max<qint64>(target, 0);
        // Past the end: as Next, as MPRIS asks.
        if (target > s.lengthUs)
            bus->command(Command::Next);
        else
            bus->seekTo(target);
    }
    void SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs) {
        IRemotePlayer* p = bus->player();
        if (!p || trackId.path() != bus->currentTrackId())
            return; // a request for a track that is no longer current
        const IRemotePlayer::State s = p->state();
        if (!s.canSeek || positionUs < 0 || positionUs > s.lengthUs)
            return;
        bus->seekTo(positionUs);
    }
    void OpenUri(const QString& uri) {
        const QUrl url(uri);
        IRemotePlayer* p = bus->player();
        if (p && url.isLocalFile() &&
            p->open(pathFromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()))))
            bus->refresh();
    }

private:
    QVariant value(const char* name) const {
        return bus->publishedPlayerProperties().value(QLatin1String(name));
    }
    TDesktopBus* bus;
};

// org.sonabin.Sonabin: what the sorting needs beyond a player's controls.
class TSonabinAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.sonabin.Sonabin")
public:
    explicit TSonabinAdaptor(TDesktopBus* owner) : QDBusAbstractAdaptor(owner), bus(owner) {}

public slots:
    // Copies the playing track into the collection of button 1 or 2, as F1 / F2 do. False when the
    // button does not exist or the action is disabled now.
    bool Like(int button) {
        if (button != 1 && button != 2)
            return false;
        return bus->command(button == 1 ? Command::Like1 : Command::Like2);
    }
    // Takes back the most recent Like of this run that made a copy, as Ctrl+Z does. False when there is
    // nothing to take back.
    bool TakeBack() { return bus->command(Command::TakeBack); }
    // Opens a folder, or a track's folder playing that track, and raises the window. The path travels as
    // bytes, since a file name need not be valid UTF-8.
    bool Open(const QByteArray& path) {
        IRemotePlayer* p = bus->player();
        if (!p)
            return false;
        const bool opened = p->open(pathFromBytes(path));
        if (opened) {
            p->raise();
            bus->refresh();
        }
        return opened;
    }

private:
    TDesktopBus* bus;
};

TDesktopBus::TDesktopBus(const QDBusConnection& connection, QObject* parent)
    : QObject(parent), bus(connection) {
    new TMprisRootAdaptor(this);
    new TMprisPlayerAdaptor(this);
    new TSonabinAdaptor(this);
    poll = new QTimer(this);
    poll->setInterval(250);
    connect(poll, &QTimer::timeout, this, &TDesktopBus::refresh);
}

TDesktopBus::~TDesktopBus() {
    if (serving) {
        bus.unregisterObject(objectPath);
        bus.unregisterService(serviceName);
    }
}

TDesktopBus::Claim TDesktopBus::claim() {
    if (!bus.isConnected()) {
        addLogValue(QStringLiteral("> No session bus"), bus.lastError().message());
        return Claim::NoBus;
    }
    if (!bus.registerObject(objectPath, this, QDBusConnection::ExportAdaptors)) {
        addLogValue(QStringLiteral("> Session bus"), bus.lastError().message());
        return Claim::NoBus;
    }
    QDBusConnectionInterface* names = bus.interface();
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        names ? names->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                       QDBusConnectionInterface::DontAllowReplacement)
              : QDBusReply<QDBusConnectionInterface::RegisterServiceReply>();
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        serving = true;
        addLogValue(QStringLiteral("> Session bus"), serviceName);
        return Claim::Owner;
    }
    bus.unregisterObject(objectPath);
    if (names && names->isServiceRegistered(serviceName))
        return Claim::Taken;
    addLogValue(QStringLiteral("> Session bus"), reply.error().message());
    return Claim::NoBus;
}

void TDesktopBus::setPlayer(IRemotePlayer* player) {
    remote = player;
    if (!remote) {
        poll->stop();
        return;
    }
    refresh();
    if (serving)
        poll->start();
}

QString TDesktopBus::fileUrl(const QString& path) {
    return QStringLiteral("file://") + QString::fromLatin1(pathBytes(path).toPercentEncoding("/"));
}

QVariantMap TDesktopBus::metadataFor(const IRemotePlayer::State& state, const QString& trackId,
                                     const QString& tagTitle, const QString& tagArtist,
                                     const QString& tagAlbum) {
    QVariantMap m;
    if (state.track.isEmpty()) {
        m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(noTrack)));
        return m;
    }
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId)));
    m.insert(QStringLiteral("xesam:url"), fileUrl(state.track));
    if (state.lengthUs > 0)
        m.insert(QStringLiteral("mpris:length"), qlonglong(state.lengthUs));
    m.insert(QStringLiteral("xesam:title"),
             tagTitle.isEmpty() ? displayPath(QFileInfo(state.track).completeBaseName()) : tagTitle);
    if (!tagArtist.isEmpty())
        m.insert(QStringLiteral("xesam:artist"), QStringList{tagArtist});
    if (!tagAlbum.isEmpty())
        m.insert(QStringLiteral("xesam:album"), tagAlbum);
    return m;
}

QString TDesktopBus::currentTrackId() const {
    return publishedTrack.isEmpty() ? noTrack : QStringLiteral("/org/sonabin/track/%1").arg(trackNumber);
}

QVariantMap TDesktopBus::propertiesFor(const IRemotePlayer::State& s) const {
    return {{QStringLiteral("PlaybackStatus"), statusText(s.status)},
            {QStringLiteral("Metadata"), metadataFor(s, currentTrackId(), title, artist, album)},
            {QStringLiteral("CanGoNext"), s.canGoNext},
            {QStringLiteral("CanGoPrevious"), s.canGoPrevious},
            {QStringLiteral("CanPlay"), s.canPlay},
            {QStringLiteral("CanPause"), s.canPause},
            {QStringLiteral("CanSeek"), s.canSeek}};
}

void TDesktopBus::refresh() {
    if (!remote)
        return;
    const IRemotePlayer::State s = remote->state();
    const bool newTrack = s.track != publishedTrack;
    if (newTrack) {
        ++trackNumber;
        publishedTrack = s.track;
        const AudioTags tags = s.track.isEmpty() ? AudioTags() : readAudioTags(s.track);
        title = tags.title;
        artist = tags.artist;
        album = tags.album;
    }
    const bool metadataChanged = newTrack || s.lengthUs != publishedLengthUs;
    publishedLengthUs = s.lengthUs;

    const QVariantMap now = propertiesFor(s);
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        const bool differs =
            it.key() == QLatin1String("Metadata") ? metadataChanged : published.value(it.key()) != it.value();
        if (differs || !published.contains(it.key()))
            changed.insert(it.key(), it.value());
    }
    const bool first = published.isEmpty();
    published = now;

    // A jump of the position within the same track (a key, the bar, the auto offset) is told with Seeked,
    // so that applets need not poll the position.
    if (!newTrack && !first) {
        const qint64 expected = lastPositionUs + (lastPlaying ? sinceLastPosition.elapsed() * 1000 : 0);
        if (std::abs(s.positionUs - expected) > kSeekToleranceUs)
            signalSeeked(s.positionUs);
    }
    lastPositionUs = s.positionUs;
    lastPlaying = s.status == Status::Playing;
    sinceLastPosition.start();

    if (!first && !changed.isEmpty())
        signalChanges(playerInterface, changed);
}

QVariantMap TDesktopBus::publishedPlayerProperties() {
    refresh();
    return published;
}

bool TDesktopBus::command(IRemotePlayer::Command c) {
    if (!remote)
        return false;
    const bool ran = remote->run(c);
    refresh();
    return ran;
}

void TDesktopBus::seekTo(qint64 positionUs) {
    if (!remote)
        return;
    remote->seekTo(positionUs);
    refresh(); // publishes the jump itself, through Seeked
}

void TDesktopBus::signalChanges(const QString& interface, const QVariantMap& changed) {
    if (!serving)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        objectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    bus.send(signal);
}

void TDesktopBus::signalSeeked(qint64 positionUs) {
    if (!serving)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(objectPath, playerInterface, QStringLiteral("Seeked"));
    signal << qlonglong(positionUs);
    bus.send(signal);
}

namespace {

// One call to the running instance; a reply of `false` is a refusal.
bool callInstance(const QDBusConnection& connection, const QString& interface, const QString& method,
                  const QVariantList& args, const char* refusal, QString* error) {
    if (!connection.isConnected()) {
        if (error)
            *error = QStringLiteral("no session bus");
        return false;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(TDesktopBus::serviceName, TDesktopBus::objectPath, interface, method);
    call.setArguments(args);
    const QDBusMessage reply = connection.call(call, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (error)
            *error = reply.errorMessage();
        return false;
    }
    if (!reply.arguments().isEmpty() && !reply.arguments().constFirst().toBool()) {
        if (error)
            *error = QString::fromLatin1(refusal);
        return false;
    }
    return true;
}

} // namespace

bool TDesktopBus::sendLike(const QDBusConnection& connection, int button, QString* error) {
    return callInstance(connection, ownInterface, QStringLiteral("Like"), {button},
                        "no track to like, or no such button", error);
}

bool TDesktopBus::sendOpen(const QDBusConnection& connection, const QString& path, QString* error) {
    return callInstance(connection, ownInterface, QStringLiteral("Open"), {pathBytes(path)},
                        "no such folder or track", error);
}

bool TDesktopBus::sendRaise(const QDBusConnection& connection, QString* error) {
    return callInstance(connection, rootInterface, QStringLiteral("Raise"), {}, "", error);
}

#include "desktopBus.moc"
