#pragma once
// A sorting session without a window: the player, the play list, the collections, this run's Likes that
// can be taken back, the sorted marks and the session's options, with the operations a user (or a remote
// control, or a test) asks for and signals for what a client shows. The main window is one client; nothing
// here knows of widgets, dialogs or the chosen language (texts go out as SbText).
//
// Errors: an operation the client calls throws SbError with the reason; a failure inside the player's own
// ticks, where no caller waits, is emitted as error(). A track that does not open is no error: it ends at
// its first tick and the session moves on, as a player does.
// Threads: user-interface thread only.
#include "collections.h"
#include "likeHistory.h"
#include "playList.h"
#include "sbText.h"
#include "sortedIndex.h"

#include <QObject>
#include <QString>
#include <memory>

class IAudioEngine;
class TBassPlayer;

struct TSessionOptions {
    bool playNextAfterCopy = true; // a Like moves on to the next track
    bool autoOffset = false;       // Play jumps ahead by secondsOffset
    bool randomPlay = false;
    bool skipSorted = false; // Next and random play pass over tracks already in a bound collection
    int secondsOffset = 10;  // the step of forward, rewind and the auto offset
};

class TSortingSession : public QObject {
    Q_OBJECT
public:
    enum class NoticeKind { Info, Warning, Error };

    explicit TSortingSession(QObject* parent = nullptr);
    ~TSortingSession() override;

    // Makes the player on `engine`, which must outlive it until stopPlayer. `windowHandle`: the native
    // handle of the window the sound belongs to, or 0 (kept for the record). Until then, and after
    // stopPlayer, the player operations do nothing.
    void startPlayer(IAudioEngine& engine, quintptr windowHandle = 0);
    // Stops playing and releases the engine.
    void stopPlayer();
    TBassPlayer* player() const { return FPlayer.get(); }
    TPlayList& playList() { return FPlayList; }
    const TPlayList& playList() const { return FPlayList; }
    TCollections& collections() { return FCollections; }
    const TCollections& collections() const { return FCollections; }
    TLikeHistory& likeHistory() { return FHistory; }
    const TSortedIndex& sortedIndex() const { return FSorted; }
    TSessionOptions& options() { return FOptions; }
    const TSessionOptions& options() const { return FOptions; }

    // The track playing (or last started), full path; empty when none was started.
    QString currentTrack() const { return FCurrentTrack; }
    // The playing track was reached by Previous: one that does not open is passed over backwards.
    bool lastMoveBackward() const { return FLastMoveBackward; }
    void setLastMoveBackward(bool backward) { FLastMoveBackward = backward; }

    // --- the player
    // Starts `path` from its beginning (a full path); emits trackStarted. A file that does not open is
    // passed over at the first tick (trackEnded).
    void playTrack(const QString& path);
    // Goes on playing; with the auto offset on, jumps ahead of the track's quiet start.
    void play();
    void pause();
    void stop();
    bool isPlaying() const;
    void forward();
    void rewind();
    // Moves to `position` bytes of the current stream.
    void seek(qint64 position);

    // --- the play order
    // Where Next or Previous goes: the row, or -1 and whether the player stops there.
    struct Step {
        int row = -1;
        bool stop = false;
    };
    // Next: the entry after the current one, or a random track (never the one playing while there is
    // another) with the option on; sorted tracks are passed over with skipSorted. After the last entry the
    // player stops (no wrap-around); random play without a track to draw does nothing.
    Step nextStep();
    // Previous: the entry before the current one; before the first the player stops.
    Step previousStep() const;
    // Moves the list to `row` (currentRowChanged) and starts it from its beginning when it is a track; a
    // folder entry is only moved to.
    void playRow(int row);
    // Goes to nextStep() or previousStep().
    void next();
    void previous();
    // For a client without actions of its own (a test, a remote-only session): the end of a track and a
    // Like go on with next() (previous() for a track reached backwards that did not open) by themselves. A
    // window instead runs its own Next and Previous actions on trackEnded and nextWanted.
    void followOwnOrder();

    // --- the collections
    // Binds the buttons to the first two usable names of a language's list `listText` (the base folder as
    // set, or the default with `reset`) and makes the folders. Throws SbError for a folder that cannot be
    // made; the binding holds and countsChanged is emitted all the same.
    void initFolders(const QString& listText, bool reset);
    // Copies the track `trackPath` into `collection`; a copy made can be taken back. Emits notice,
    // countsChanged (and sortedChanged), then goes on with the next track when the option says so. Throws
    // SbError when the copy fails, and then nothing else happens.
    TLikeOutcome like(const QString& trackPath, const QString& collection);
    // Takes back this run's newest Like that made a copy (see TLikeHistory); emits notice and takenBack.
    TTakeBack takeBack();
    // A new folder in the base folder; see TCollections::create.
    TCreateRefusal createCollection(const QString& name);
    // Deletes the file `fileName` from the button's collection; emits countsChanged and sortedChanged.
    void removeFromCollection(int slot, const QString& fileName);
    // Binds button `slot` to `name`; the marks follow.
    void bindCollection(int slot, const QString& name);
    // Binds the sorted marks to the buttons' collections, listing a collection only when its binding
    // changed; with `relist`, lists both again (once per folder scan).
    void updateSortedIndex(bool relist);
    // A file `name` went into, or left, the collection folder `folder`: the marks follow without a listing.
    void noteSorted(const QString& folder, const QString& name, bool present);
    // A copy that did not reach the disk was removed in the background: counts and marks are read again.
    void copyWasRemoved();

signals:
    void trackStarted(const QString& path);
    // The play list moved to `row` (-1: none); a client showing the list selects it.
    void currentRowChanged(int row);
    // Each tick of a playing track: the position moved.
    void positionChanged();
    // The track played to its end or did not open; the next track is wanted (the previous one, `backward`:
    // it was reached by Previous and did not open).
    void trackEnded(bool backward);
    void playStateChanged(bool playing);
    void stopped();
    void countsChanged();
    void sortedChanged();
    // A Like that can be taken back was added or taken back.
    void takeBackChanged(bool available);
    void takenBack(const TTakeBack& done);
    // A Like wants the next track (the option "play next after copy").
    void nextWanted();
    void notice(const SbText& title, const SbText& message, TSortingSession::NoticeKind kind);
    void error(const SbError& error);

private:
    void onTick();
    void onComplete();
    // The row of the track playing (or about to) in the list shown; -1 when it is not there.
    int playingRow() const;

    std::unique_ptr<TBassPlayer> FPlayer;
    TPlayList FPlayList;
    TCollections FCollections;
    TLikeHistory FHistory;
    TSortedIndex FSorted;
    TSessionOptions FOptions;
    QString FCurrentTrack;
    bool FLastMoveBackward = false;
};
