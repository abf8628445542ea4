// Track change: from F8 to the first sample of the next track handed to the audio device, in the real
// window with the real engine on SDL's disk driver. The list alternates silent and sounding tracks, so the
// first sample that is not silence after F8 belongs to the next track. Aim: under 30 ms, and most of it
// the device buffer, not our code.
// The floor does the same job with the bare libraries: libmpg123 opens the next file and decodes its start,
// and an SDL callback on the same device hands it over.
#include "AudioEngine.h"
#include "TrackList.h"
#include "benchSupport.h"
#include "formMainAccess.h"
#include "main.h"
#include "sbtest.h"

#include <QApplication>
#include <QDirIterator>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <SDL.h>
#include <atomic>
#include <cstring>
#include <map>
#include <mpg123.h>
#include <thread>

using namespace sbbench;

namespace {

constexpr int changes = 15;
constexpr double trackSeconds = 5;
// The device buffer the engine asks SDL for (Mpg123SdlEngine.cpp), so that both wait alike for the device.
constexpr Uint16 deviceFrames = 2048;

// Waits for the device's next buffer, then for the `index`th of `changes` even steps through one buffer
// period, so that the key presses fall on every phase of the device's cycle alike.
void startAtPhase(DiskWatch& watch, int index) {
    const double period = double(deviceFrames) / 44100;
    if (watch.waitForWrite(1) < 0)
        return;
    const double at = now() + (index + 0.5) * period / changes;
    while (now() < at) {
    }
}

void settle(double seconds) {
    const double end = now() + seconds;
    while (now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

struct Change {
    double total = -1; // F8 to the first sample of the next track handed to the device
    double ui = -1;    // of which the window's handling of the key
};

// The folder: placeholders listed in the platform's order, then filled silent, sound, silent, ...
bool makeFolder(const QString& folder, std::map<QString, bool>* sounding) {
    if (!QDir().mkpath(folder))
        return false;
    for (int i = 0; i < 2 * (changes + 1); ++i)
        if (!sbtest::writeFile(folder + QStringLiteral("/Track %1.mp3").arg(i), "-"))
            return false;
    sbtest::ToneSpec silent;
    silent.seconds = trackSeconds;
    silent.frequency = 0;
    sbtest::ToneSpec tone = silent;
    tone.frequency = 440;
    const QByteArray silentBytes = sbtest::toneMp3(silent);
    const QByteArray toneBytes = sbtest::toneMp3(tone);
    QDirIterator it(folder, QDir::Files);
    bool sound = false;
    while (it.hasNext()) {
        it.next();
        if (!sbtest::writeFile(it.filePath(), sound ? toneBytes : silentBytes))
            return false;
        (*sounding)[it.fileName()] = sound;
        sound = !sound;
    }
    return true;
}

std::vector<Change> measureWindow(const QString& folder, const QString& audio,
                                  const std::map<QString, bool>& sounding) {
    std::vector<Change> result;
    auto window = std::make_unique<TFormMain>();
    window->ScanFolder(folder);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        return result;
    DiskWatch watch(audio);
    TPlayList* model = sbt::parts(window).trackModel;
    for (int row = 0; row + 1 < model->count() && static_cast<int>(result.size()) < changes; ++row) {
        const auto now0 = sounding.find(model->entry(row).description);
        const auto next = sounding.find(model->entry(row + 1).description);
        if (now0 == sounding.end() || next == sounding.end() || now0->second || !next->second)
            continue;
        // A silent track plays; whatever sounded before has long reached the device.
        trackListSelectRow(sbt::parts(window).lbTracklist, row);
        settle(0.3);
        watch.skipToEnd();
        if (watch.soundArrived())
            continue;
        Change c;
        startAtPhase(watch, static_cast<int>(result.size()));
        const double start = now();
        QTest::keyClick(window.get(), Qt::Key_F8);
        c.ui = now() - start;
        const double sound = watch.waitForSound(2);
        if (sound > 0 && trackListSelectedRow(sbt::parts(window).lbTracklist) == row + 1)
            c.total = sound - start;
        result.push_back(c);
    }
    return result;
}

// The bare libraries' track change on the same device: open, decode the start, hand it to the callback.
struct Floor {
    std::atomic<const std::vector<qint16>*> pcm{nullptr};
    size_t at = 0;

    static void callback(void* self, Uint8* out, int len) {
        auto* f = static_cast<Floor*>(self);
        std::memset(out, 0, static_cast<size_t>(len));
        const std::vector<qint16>* p = f->pcm.load();
        if (!p) {
            f->at = 0;
            return;
        }
        const size_t n = std::min(static_cast<size_t>(len) / 2, p->size() - std::min(f->at, p->size()));
        std::memcpy(out, p->data() + f->at, n * 2);
        f->at += n;
    }
};

std::vector<Change> measureFloor(const QString& folder, const QString& audio,
                                 const std::map<QString, bool>& sounding) {
    std::vector<Change> result;
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(audio));
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return result;
    Floor floor;
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = deviceFrames;
    want.callback = &Floor::callback;
    want.userdata = &floor;
    const SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (dev == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return result;
    }
    SDL_PauseAudioDevice(dev, 0);
    mpg123_init();
    DiskWatch watch(audio);
    std::vector<std::vector<qint16>> decoded(changes);
    int i = 0;
    for (const auto& [name, sounds] : sounding) {
        if (!sounds || i >= changes)
            continue;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        watch.skipToEnd();
        Change c;
        startAtPhase(watch, i);
        const double start = now();
        mpg123_handle* mh = mpg123_new(nullptr, nullptr);
        mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_open(mh, QFile::encodeName(folder + '/' + name).constData()) == MPG123_OK &&
            mpg123_getformat(mh, &rate, &channels, &encoding) == MPG123_OK) {
            std::vector<qint16>& pcm = decoded[static_cast<size_t>(i)];
            pcm.resize(4 * 1152 * 2); // four MPEG frames of stereo, as the engine's first step
            size_t got = 0;
            mpg123_read(mh, reinterpret_cast<unsigned char*>(pcm.data()), pcm.size() * 2, &got);
            pcm.resize(got / 2);
            c.ui = now() - start;
            floor.pcm.store(&pcm);
            const double sound = watch.waitForSound(2);
            if (sound > 0)
                c.total = sound - start;
            floor.pcm.store(nullptr);
        }
        mpg123_delete(mh);
        result.push_back(c);
        ++i;
    }
    SDL_CloseAudioDevice(dev);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return result;
}

std::vector<double> pick(const std::vector<Change>& changesMade, double Change::*field) {
    std::vector<double> v;
    for (const Change& c : changesMade)
        if (c.total > 0)
            v.push_back(c.*field);
    return v;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    isolateHome(home.path());
    qputenv("SDL_AUDIODRIVER", "disk");
    const QString audio = home.path() + "/window.raw";
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(audio));

    QApplication app(argc, argv);
    const QString folder = home.path() + "/Music";
    std::map<QString, bool> sounding;
    if (!makeFolder(folder, &sounding)) {
        std::fprintf(stderr, "cannot build the music folder in %s\n", qPrintable(home.path()));
        return 1;
    }

    const std::vector<Change> ours = measureWindow(folder, audio, sounding);
    const std::vector<Change> bare = measureFloor(folder, home.path() + "/floor.raw", sounding);
    for (size_t i = 0; i < std::max(ours.size(), bare.size()); ++i) {
        const Change o = i < ours.size() ? ours[i] : Change{};
        const Change b = i < bare.size() ? bare[i] : Change{};
        std::printf("change %zu: ours %.1f ms (window %.1f ms), floor %.1f ms (open+decode %.1f ms)\n", i + 1,
                    o.total * 1000, o.ui * 1000, b.total * 1000, b.ui * 1000);
    }
    const std::vector<double> total = pick(ours, &Change::total);
    const std::vector<double> floorTotal = pick(bare, &Change::total);
    if (total.empty() || floorTotal.empty()) {
        std::fprintf(stderr, "track change: no figure (%zu of ours, %zu of the floor)\n", total.size(),
                     floorTotal.size());
        return 1;
    }
    const double t = median(total), f = median(floorTotal);
    const QString label = QStringLiteral("Track change, F8 to next track's first sample (median of %1)");
    tableRow(label.arg(total.size()), ms(t), ms(f), times(t / f), "< 30 ms", t < 0.030);
    const double ui = median(pick(ours, &Change::ui));
    const double floorUi = median(pick(bare, &Change::ui));
    tableRow("Track change: the window's own work on F8 (median)", ms(ui), ms(floorUi), times(ui / floorUi),
             "< half of " + ms(t), ui < t / 2);
    return 0;
}
