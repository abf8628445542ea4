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
#include "playOrder.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QListView>
#include <QProxyStyle>
#include <QRandomGenerator>
#include <QSlider>
#include <algorithm>

namespace {

// One unit of the position bar is this many bytes of the stream.
constexpr double kBarUnitBytes = 10000.0;

int barUnits(qint64 bytes) {
    return static_cast<int>(roundHalfEven(static_cast<double>(bytes) / kBarUnitBytes));
}

// The random order of Next: seeded once per run from the clock, so it differs from run to run.
QRandomGenerator& playOrder() {
    static QRandomGenerator generator(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch()));
    return generator;
}

// The program moving the bar never seeks: shrinking the range may move the value.
void setBarMaximum(TFormMain& w) {
    const int guard = w.TrackBar1Tag;
    w.TrackBar1Tag = 1;
    w.TrackBar1->setMaximum(std::max(barUnits(w.PLAYER->PositionMax()), 0));
    w.TrackBar1Tag = guard;
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

void showPlayImage(TFormMain& w, bool playing) {
    w.imgPause->setVisible(playing);
    w.imgPlay->setVisible(!playing);
}

} // namespace

void TFormMain::initPlayer() {
    if (!engine) {
        ownedEngine = createDefaultAudioEngine();
        engine = ownedEngine.get();
    }
    // The native handle only when the window already has one: asking for it would create it early.
    // The engine keeps it for the record and needs none.
    PLAYER = new TBassPlayer(*engine, static_cast<quintptr>(internalWinId()));
    PLAYER->setOnTimer(
        [this](TBassPlayer* sender) { runGuarded([this, sender] { onPlayerTimer(sender); }); });
    PLAYER->setOnComplete(
        [this](TBassPlayer* sender) { runGuarded([this, sender] { onPlayerComplete(sender); }); });
    secondsOffset = 10;
    auto* barStyle = new TJumpClickStyle();
    barStyle->setParent(TrackBar1);
    TrackBar1->setStyle(barStyle);
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { runGuarded([this] { TrackBar1Change(); }); });
}

void TFormMain::freePlayer() {
    // The player releases the engine in its destructor, so the engine goes after it.
    delete PLAYER;
    PLAYER = nullptr;
    engine = nullptr;
    ownedEngine.reset();
}

void TFormMain::playTrack(const QString& path) {
    actStop->trigger();
    addLogValue(QStringLiteral("playTrack (start)"), path);
    if (!PLAYER)
        return;
    try {
        addLog(QStringLiteral("> Play track"));
        PLAYER->PlayTrack(path);
        const int cut = path.lastIndexOf(pathDelim);
        currentFile = path.mid(cut + 1);
        lblCurrentFile->setText(displayName(currentFile));
        actPlay->trigger();
        // Also when Play did nothing because the window is not active: the track plays all the same.
        showPlayImage(*this, true);
        setBarMaximum(*this);
        lbl_fm_1->setText(displayName(currentFile) + QStringLiteral("   "));
        lbl_fm_2->setText(displayName(path.left(cut + 1)));
        rememberTrack(currentFile);
        const int index = getTrackIndexByName(currentFile);
        if (index >= 0) {
            updateProgress(index);
            if (trackListSelectedRow(lbTracklist) != index)
                trackListSelectRow(lbTracklist, index);
        } else {
            updateProgress(0);
        }
    } catch (...) {
        // A track that cannot start is passed over quietly; the log tells why nothing plays.
        addLog(QStringLiteral("> Can not play"));
    }
}

void TFormMain::onPlayerTimer(TBassPlayer*) {
    TrackBar1Tag = 1;
    TrackBar1->setValue(barUnits(PLAYER->Position()));
    TrackBar1Tag = 0;
    lblTime->setText(PLAYER->TimeCurrent() + QStringLiteral(" / ") + PLAYER->TimeTotal());
}

void TFormMain::onPlayerComplete(TBassPlayer*) {
    // Runs inside the player's tick, so the next track starts before the tick returns. A track that did not
    // open ends at its first tick; reached by Previous, it is passed over towards the start.
    if (lastMoveBackward && PLAYER && PLAYER->PositionMax() <= 0)
        actPrev->trigger();
    else
        actNext->trigger();
}

void TFormMain::TrackBar1Change() {
    if (TrackBar1Tag != 0 || !PLAYER)
        return;
    PLAYER->setPosition(static_cast<qint64>(TrackBar1->value()) * static_cast<qint64>(kBarUnitBytes));
}

void TFormMain::actPlayExecute() {
    // Only for the active window: a track started while a popup holds the focus plays from its start,
    // since playTrack has the player start it anyway.
    if (!isCommandWindowActive() || !PLAYER)
        return;
    TrackBar1Tag = 0;
    PLAYER->Play();
    showPlayImage(*this, true);
    setBarMaximum(*this);
    if (opt_auto_offset && PLAYER->PositionMax() > 0)
        actForward->trigger();
}

void TFormMain::actPauseExecute() {
    if (!PLAYER)
        return;
    TrackBar1Tag = 1;
    PLAYER->Pause();
    showPlayImage(*this, false);
}

void TFormMain::actPlayPauseExecute() {
    if (!isCommandWindowActive() || !PLAYER)
        return;
    if (PLAYER->isPlaying())
        actPause->trigger();
    else
        actPlay->trigger();
}

void TFormMain::actStopExecute() {
    if (!PLAYER)
        return;
    TrackBar1Tag = 1;
    PLAYER->Stop();
    TrackBar1->setValue(0);
    showPlayImage(*this, false);
}

void TFormMain::actNextExecute() {
    const int count = trackModel->count();
    lastMoveBackward = false;
    // With the option on, tracks already in a bound collection are passed over.
    const auto skipped = [this](int row) { return opt_skip_sorted && isSortedRow(row); };
    if (opt_random_play) {
        const auto isTrack = [this, &skipped](int row) {
            return trackModel->entry(row).kind == TTrackListModel::kindTrack && !skipped(row);
        };
        // The track playing (or about to), which the draw passes over.
        int playing = -1;
        for (int row = 0; row < count && !currentFile.isEmpty(); ++row) {
            if (isTrack(row) && trackModel->entry(row).description == currentFile) {
                playing = row;
                break;
            }
        }
        const int row = randomTrackRow(count, isTrack, playing, playOrder());
        if (row < 0)
            return; // no tracks here (or none left to sort)
        if (row == trackListSelectedRow(lbTracklist))
            playTrack(currentFolder + trackModel->entry(row).description); // the only track, again
        else
            trackListSelectRow(lbTracklist, row);
        return;
    }
    int row = nextRow(count, trackListSelectedRow(lbTracklist));
    while (row >= 0 && skipped(row))
        row = nextRow(count, row);
    if (row >= 0)
        trackListSelectRow(lbTracklist, row);
    else
        actStop->trigger(); // no wrap-around after the last entry
}

void TFormMain::actPrevExecute() {
    const int row = previousRow(trackModel->count(), trackListSelectedRow(lbTracklist));
    if (row < 0) {
        actStop->trigger();
        return;
    }
    trackListSelectRow(lbTracklist, row);
    // Set after the selection has started the track: its change handler clears it.
    lastMoveBackward = true;
}

void TFormMain::actRewindExecute() {
    if (PLAYER)
        PLAYER->Backward(secondsOffset);
}

void TFormMain::actForwardExecute() {
    if (PLAYER)
        PLAYER->Forward(secondsOffset);
}
