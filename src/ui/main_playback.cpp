// Playback: the player, its callbacks, the position bar and the eight playback actions. The track list
// is the playlist: Next, Previous and the end of a track only move its selection, and the list's change
// handler starts the selected track.
#include "AudioEngine.h"
#include "TrackList.h"
#include "diagnosticLog.h"
#include "dorBass.h"
#include "dorTools.h"
#include "folderListing.h"
#include "main.h"

#include <QAction>
#include <QLabel>
#include <QListView>
#include <QProxyStyle>
#include <QScopedValueRollback>
#include <QSlider>
#include <algorithm>
#include <utility>

namespace {

// One unit of the position bar is this many bytes of the stream.
constexpr double kBarUnitBytes = 10000.0;

int barUnits(qint64 bytes) {
    return static_cast<int>(roundHalfEven(static_cast<double>(bytes) / kBarUnitBytes));
}

// A click on the bar's groove jumps there, as on any player's position bar, instead of paging by a few
// hundred milliseconds towards the pointer.
class TJumpClickStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

// The program moving the bar never seeks: shrinking the range may move the value.
void TFormMain::setBarMaximum() {
    if (!session().player())
        return;
    const int guard = std::exchange(TrackBar1Tag, 1);
    TrackBar1->setMaximum(std::max(barUnits(session().player()->PositionMax()), 0));
    TrackBar1Tag = guard;
}

void TFormMain::showBarPosition(qint64 bytes) {
    const int guard = std::exchange(TrackBar1Tag, 1);
    TrackBar1->setValue(barUnits(std::max<qint64>(bytes, 0)));
    TrackBar1Tag = guard;
}

void TFormMain::showPlayImage(bool playing) {
    imgPause->setVisible(playing);
    imgPlay->setVisible(!playing);
}

void TFormMain::initPlayer() {
    if (!engine) {
        ownedEngine = createDefaultAudioEngine();
        engine = ownedEngine.get();
    }
    // The native handle only when the window already has one: asking for it would create it early.
    // The engine keeps it for the record and needs none.
    session().startPlayer(*engine, static_cast<quintptr>(internalWinId()));
    session().options().secondsOffset = 10;
    auto* barStyle = new TJumpClickStyle();
    barStyle->setParent(TrackBar1);
    TrackBar1->setStyle(barStyle);
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { runGuarded([this] { TrackBar1Change(); }); });
}

void TFormMain::connectSession() {
    // Each slot runs as one user action: an error ends it and is reported, and the program goes on.
    const auto guarded = [this](auto slot) {
        return [this, slot](auto&&... args) { runGuarded([&] { slot(args...); }); };
    };
    TSortingSession* s = &session();
    connect(s, &TSortingSession::trackStarted, this,
            guarded([this](const QString& path) { onTrackStarted(path); }));
    connect(s, &TSortingSession::positionChanged, this, guarded([this, s] { onPlayerTimer(s->player()); }));
    connect(s, &TSortingSession::trackEnded, this,
            guarded([this](bool backward) { onPlayerComplete(backward); }));
    connect(s, &TSortingSession::nextWanted, this, [this] { actNext->trigger(); });
    connect(s, &TSortingSession::currentRowChanged, this, [this](int row) {
        if (trackListSelectedRow(lbTracklist) == row)
            return;
        const QScopedValueRollback<bool> following(followingSession, true);
        trackListSelectRow(lbTracklist, row);
    });
    connect(s, &TSortingSession::playStateChanged, this, [this](bool playing) {
        TrackBar1Tag = playing ? 0 : 1;
        showPlayImage(playing);
        if (playing)
            setBarMaximum();
    });
    connect(s, &TSortingSession::stopped, this, [this] {
        TrackBar1Tag = 1;
        TrackBar1->setValue(0);
        showPlayImage(false);
    });
    connect(s, &TSortingSession::countsChanged, this, guarded([this] { updateButtons(); }));
    connect(s, &TSortingSession::takeBackChanged, this,
            [this](bool available) { actUndoLike->setEnabled(available); });
    connect(s, &TSortingSession::takenBack, this,
            guarded([this](const TTakeBack& done) { onTakenBack(done); }));
    connect(s, &TSortingSession::notice, this,
            [this](const SbText& title, const SbText& message, TSortingSession::NoticeKind kind) {
                showInfo(messageText(title), messageText(message),
                         kind == TSortingSession::NoticeKind::Info      ? dmtInfo
                         : kind == TSortingSession::NoticeKind::Warning ? dmtWarning
                                                                        : dmtError);
            });
    connect(s, &TSortingSession::error, this, [this](const SbError& e) { reportError(this, e); });
}

void TFormMain::freePlayer() {
    // The player releases the engine in its destructor, so the engine goes after it.
    session().stopPlayer();
    engine = nullptr;
    ownedEngine.reset();
}

void TFormMain::playTrack(const QString& path) {
    actStop->trigger();
    session().playTrack(path);
}

void TFormMain::onTrackStarted(const QString& path) {
    const int cut = path.lastIndexOf(pathDelim);
    currentFile = path.mid(cut + 1);
    lblCurrentFile->setText(displayName(currentFile));
    actPlay->trigger();
    // Also when Play did nothing because the window is not active: the track plays all the same.
    showPlayImage(true);
    setBarMaximum();
    lbl_fm_1->setText(displayName(currentFile) + QStringLiteral("   "));
    lbl_fm_2->setText(displayName(path.left(cut + 1)));
    rememberTrack(currentFile);
    const int index = getTrackIndexByName(currentFile);
    if (index >= 0) {
        updateProgress(index);
        if (trackListSelectedRow(lbTracklist) != index) {
            const QScopedValueRollback<bool> following(followingSession, true);
            trackListSelectRow(lbTracklist, index);
        }
    } else {
        updateProgress(0);
    }
}

void TFormMain::onPlayerTimer(TBassPlayer* player) {
    TrackBar1Tag = 1;
    TrackBar1->setValue(barUnits(player->Position()));
    TrackBar1Tag = 0;
    lblTime->setText(player->TimeCurrent() + QStringLiteral(" / ") + player->TimeTotal());
}

void TFormMain::onPlayerComplete(bool backward) {
    // Runs inside the player's tick, so the next track starts before the tick returns.
    (backward ? actPrev : actNext)->trigger();
}

void TFormMain::TrackBar1Change() {
    if (TrackBar1Tag != 0 || !session().player())
        return;
    session().seek(static_cast<qint64>(TrackBar1->value()) * static_cast<qint64>(kBarUnitBytes));
}

void TFormMain::actPlayExecute() {
    // Only for the active window: a track started while a popup holds the focus plays from its start,
    // since playTrack has the player start it anyway.
    if (isCommandWindowActive())
        session().play();
}

void TFormMain::actPauseExecute() {
    session().pause();
}

void TFormMain::actPlayPauseExecute() {
    if (!isCommandWindowActive() || !session().player())
        return;
    if (session().isPlaying())
        actPause->trigger();
    else
        actPlay->trigger();
}

void TFormMain::actStopExecute() {
    session().stop();
}

void TFormMain::actNextExecute() {
    session().setLastMoveBackward(false);
    // The list's change handler starts the track the selection moves to.
    const TSortingSession::Step step = session().nextStep();
    if (step.row >= 0 && step.row == trackModel->currentRow())
        playTrack(currentFolder + trackModel->entry(step.row).description); // the only track, again
    else if (step.row >= 0)
        trackListSelectRow(lbTracklist, step.row);
    else if (step.stop)
        actStop->trigger();
}

void TFormMain::actPrevExecute() {
    const TSortingSession::Step step = session().previousStep();
    if (step.row < 0) {
        actStop->trigger();
        return;
    }
    trackListSelectRow(lbTracklist, step.row);
    // Set after the selection has started the track: its change handler clears it.
    session().setLastMoveBackward(true);
}

void TFormMain::actRewindExecute() {
    session().rewind();
}

void TFormMain::actForwardExecute() {
    session().forward();
}
