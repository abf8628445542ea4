#include "sortingSession.h"

#include "const_sb.h"
#include "diagnosticLog.h"
#include "dorBass.h"
#include "dorTools.h"
#include "folderListing.h"

#include <QScopeGuard>
#include <exception>
#include <utility>

namespace {

// The Like button's notices and the take-back's; the keys are the language files' own.
constexpr SbTextKey fileExists{"txt_file_exists", "File exists!"};
constexpr SbTextKey fileExistsHint{"txt_file_exists_hint", "File already exists"};
constexpr SbTextKey takeBackTitle{"actUndoLike", "Take back last Like"};
constexpr SbTextKey likeTakenBack{"txt_like_taken_back", "Like taken back: %1"};
constexpr SbTextKey takeBackMissing{
    "txt_take_back_missing", "\"%1\" is no longer in the collection \"%2\", so there was nothing to remove."};
constexpr SbTextKey takeBackNotTheCopy{
    "txt_take_back_changed", "\"%1\" in the collection \"%2\" is not the copy this Like made (it was "
                             "replaced or changed since), so it was left in place."};
constexpr SbTextKey takeBackFailed{"txt_take_back_failed",
                                   "\"%1\" could not be removed from the collection \"%2\": %3"};

QString fileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(pathDelim) + 1);
}

QString folderPart(const QString& path) {
    return path.left(path.lastIndexOf(pathDelim) + 1);
}

} // namespace

TSortingSession::TSortingSession(QObject* parent) : QObject(parent) {
    FPlayList.setSortedIndex(&FSorted);
}

TSortingSession::~TSortingSession() {
    stopPlayer();
}

void TSortingSession::startPlayer(IAudioEngine& engine, quintptr windowHandle) {
    stopPlayer();
    FPlayer = std::make_unique<TBassPlayer>(engine, windowHandle);
    FPlayer->setOnTimer([this](TBassPlayer*) { onTick(); });
    FPlayer->setOnComplete([this](TBassPlayer*) { onComplete(); });
}

void TSortingSession::stopPlayer() {
    FPlayer.reset();
}

void TSortingSession::playTrack(const QString& path) {
    addLogValue(QStringLiteral("playTrack (start)"), path);
    if (!FPlayer)
        return;
    addLog(QStringLiteral("> Play track"));
    FPlayer->PlayTrack(path);
    FCurrentTrack = path;
    emit trackStarted(path);
}

void TSortingSession::play() {
    if (!FPlayer)
        return;
    FPlayer->Play();
    emit playStateChanged(true);
    if (FOptions.autoOffset && FPlayer->PositionMax() > 0)
        forward();
}

void TSortingSession::pause() {
    if (!FPlayer)
        return;
    FPlayer->Pause();
    emit playStateChanged(false);
}

void TSortingSession::stop() {
    if (!FPlayer)
        return;
    FPlayer->Stop();
    emit stopped();
}

bool TSortingSession::isPlaying() const {
    return FPlayer && FPlayer->isPlaying();
}

void TSortingSession::forward() {
    if (FPlayer)
        FPlayer->Forward(FOptions.secondsOffset);
}

void TSortingSession::rewind() {
    if (FPlayer)
        FPlayer->Backward(FOptions.secondsOffset);
}

void TSortingSession::seek(qint64 position) {
    if (FPlayer)
        FPlayer->setPosition(position);
}

void TSortingSession::onTick() {
    emit positionChanged();
}

void TSortingSession::onComplete() {
    // Runs inside the player's tick, so the next track starts before the tick returns. A track that did not
    // open ends at its first tick; reached by Previous, it is passed over towards the start.
    emit trackEnded(FLastMoveBackward && FPlayer && FPlayer->PositionMax() <= 0);
}

void TSortingSession::followOwnOrder() {
    // Inside the player's tick no caller waits: a failure goes out as error().
    const auto guarded = [this](void (TSortingSession::*step)()) {
        try {
            (this->*step)();
        } catch (const SbError& e) {
            emit error(e);
        } catch (const std::exception& e) {
            emit error(SbError(QString::fromUtf8(e.what())));
        }
    };
    connect(this, &TSortingSession::trackEnded, this, [guarded](bool backward) {
        guarded(backward ? &TSortingSession::previous : &TSortingSession::next);
    });
    connect(this, &TSortingSession::nextWanted, this, [guarded] { guarded(&TSortingSession::next); });
}

int TSortingSession::playingRow() const {
    if (FCurrentTrack.isEmpty() || folderPart(FCurrentTrack) != withDelim(FPlayList.folder()))
        return -1;
    return FPlayList.rowOf(fileNamePart(FCurrentTrack));
}

void TSortingSession::playRow(int row) {
    FPlayList.setCurrentRow(row);
    emit currentRowChanged(FPlayList.currentRow());
    if (!FPlayList.isTrack(row))
        return; // a folder entry opens only when asked to
    stop();
    FLastMoveBackward = false;
    playTrack(withDelim(FPlayList.folder()) + FPlayList.entry(row).description);
}

TSortingSession::Step TSortingSession::nextStep() {
    if (FOptions.randomPlay) {
        // The draw passes over the track playing; the only track left plays again. No track: nothing.
        return {FPlayList.randomTrack(playingRow(), FOptions.skipSorted), false};
    }
    const int row = FPlayList.next(FOptions.skipSorted);
    return {row, row < 0}; // no wrap-around after the last entry
}

TSortingSession::Step TSortingSession::previousStep() const {
    const int row = FPlayList.previous();
    return {row, row < 0};
}

void TSortingSession::next() {
    FLastMoveBackward = false;
    const Step step = nextStep();
    if (step.row >= 0)
        playRow(step.row);
    else if (step.stop)
        stop();
}

void TSortingSession::previous() {
    const Step step = previousStep();
    if (step.row < 0) {
        stop();
        return;
    }
    playRow(step.row);
    // After the start: a track reached backwards that does not open is passed over backwards.
    FLastMoveBackward = true;
}

void TSortingSession::initFolders(const QString& listText, bool reset) {
    QStringList skipped;
    const QStringList names = TCollections::namesFromList(listText, &skipped);
    for (const QString& name : std::as_const(skipped))
        addLogValue(QStringLiteral("> skipped collection name"), name);
    FCollections.bindDefaults(names, reset);
    addLog(QStringLiteral("initFolders"));
    addLogValue(QStringLiteral("> folderLibraryBase"), FCollections.base());
    addLogValue(QStringLiteral("> folderLibrary1"), FCollections.name(1));
    addLogValue(QStringLiteral("> folderLibrary2"), FCollections.name(2));
    // The buttons show their collections even when a folder cannot be made; the error is reported after.
    const auto show = qScopeGuard([this] {
        emit countsChanged();
        updateSortedIndex(false);
    });
    FCollections.makeFolders(names);
}

TLikeOutcome TSortingSession::like(const QString& trackPath, const QString& collection) {
    // A copy that fails throws before anything below runs: no notice, no recount, no next track.
    const TLikeOutcome done = FCollections.likeInto(trackPath, collection);
    const QString name = fileNamePart(done.target);
    if (done.copied) {
        // Only a Like that made a copy can be taken back, and only while the copy is this very file.
        FHistory.add({trackPath, done.target, collection, done.written});
        emit takeBackChanged(true);
    }
    if (done.sorted)
        noteSorted(FCollections.folderOf(collection), name, true);
    if (done.copied)
        emit notice(SbText(sb::copyToCollection), SbText(displayName(done.target)), NoticeKind::Info);
    else
        emit notice(SbText(fileExists),
                    SbText::joined({SbText(fileExistsHint), SbText(QStringLiteral(": ")), displayName(name)}),
                    NoticeKind::Warning);
    emit countsChanged();
    if (FOptions.playNextAfterCopy)
        emit nextWanted();
    return done;
}

TTakeBack TSortingSession::takeBack() {
    const TTakeBack done = FHistory.takeBackLast();
    emit takeBackChanged(!FHistory.isEmpty());
    if (done.result == TTakeBack::Nothing)
        return done;
    const QString name = fileNamePart(done.like.target);
    const SbText shownName(displayName(name));
    const SbText shownCollection(displayName(done.like.collection));
    static const char* const outcome[] = {"removed", "nothing", "missing", "changed", "failed"};
    addLogValue(QStringLiteral("actUndoLike"), done.like.target + QStringLiteral(" (") +
                                                   QLatin1String(outcome[done.result]) + QLatin1Char(')'));
    // Whatever was found, the counters may be stale now.
    emit countsChanged();
    if (done.result == TTakeBack::Removed || done.result == TTakeBack::Missing)
        noteSorted(folderPart(done.like.target), name, false);

    const SbText title(takeBackTitle);
    switch (done.result) {
    case TTakeBack::Removed:
        emit notice(title, SbText(likeTakenBack, {shownName}), NoticeKind::Info);
        break;
    case TTakeBack::Missing:
        emit notice(title, SbText(takeBackMissing, {shownName, shownCollection}), NoticeKind::Warning);
        break;
    case TTakeBack::Changed:
        emit notice(title, SbText(takeBackNotTheCopy, {shownName, shownCollection}), NoticeKind::Warning);
        break;
    case TTakeBack::Failed:
        emit notice(title, SbText(takeBackFailed, {shownName, shownCollection, osReason(done.error)}),
                    NoticeKind::Error);
        break;
    case TTakeBack::Nothing:
        break;
    }
    emit takenBack(done);
    return done;
}

TCreateRefusal TSortingSession::createCollection(const QString& name) {
    return FCollections.create(name);
}

void TSortingSession::removeFromCollection(int slot, const QString& fileName) {
    FCollections.remove(slot, fileName);
    noteSorted(FCollections.folder(slot), fileName, false);
    emit countsChanged();
}

void TSortingSession::bindCollection(int slot, const QString& name) {
    FCollections.bind(slot, name);
    emit countsChanged();
    updateSortedIndex(false);
}

void TSortingSession::updateSortedIndex(bool relist) {
    FSorted.bind(FCollections.folder(1), FCollections.folder(2), relist);
    FPlayList.sortedChanged();
    emit sortedChanged();
}

void TSortingSession::noteSorted(const QString& folder, const QString& name, bool present) {
    if (present)
        FSorted.added(folder, name);
    else
        FSorted.removed(folder, name);
    FPlayList.sortedChanged();
    emit sortedChanged();
}

void TSortingSession::copyWasRemoved() {
    emit countsChanged();
    updateSortedIndex(true);
}
