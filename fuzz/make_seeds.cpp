// Writes the seed corpus of each fuzz target into <folder>/<target>/: small files of the kinds the
// program reads (settings, language and help files in each encoding, short MP3 tones). Made here rather
// than downloaded, so that every seed is known.
#include "sbtest.h"

#include <QDir>
#include <QFile>
#include <QStringConverter>
#include <cstdio>

namespace {

QByteArray encoded(const QString& text, QStringConverter::Encoding encoding, bool bom) {
    QStringEncoder encoder(encoding,
                           bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

bool writeSeeds(const QString& folder, const QString& target, const QStringList& texts) {
    const QString dir = folder + QLatin1Char('/') + target;
    QDir().mkpath(dir);
    int n = 0;
    bool ok = true;
    for (const QString& text : texts) {
        ok &= sbtest::writeFile(QStringLiteral("%1/utf8-%2").arg(dir).arg(n), text.toUtf8());
        ok &= sbtest::writeFile(QStringLiteral("%1/utf8bom-%2").arg(dir).arg(n),
                                encoded(text, QStringConverter::Utf8, true));
        ok &= sbtest::writeFile(QStringLiteral("%1/utf16le-%2").arg(dir).arg(n),
                                encoded(text, QStringConverter::Utf16LE, true));
        ok &= sbtest::writeFile(QStringLiteral("%1/utf16be-%2").arg(dir).arg(n),
                                encoded(text, QStringConverter::Utf16BE, true));
        ++n;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = true;

    ok &= writeSeeds(folder, QStringLiteral("fuzz_options"),
                     {QStringLiteral("[common]\r\ncounter=12\r\nfolder_curr=/home/u/Music/\r\nauto_next=1\r\n"
                                     "\r\n[FormMain]\r\nleft=10\r\ntop=20\r\nwidth=800\r\nheight=600\r\n"),
                      QStringLiteral("; remark\n[Common]\nLanguage = Deutsch.lng \nbare line\n[common]\n"
                                     "counter=-3\ncounter=4\n[]\n=empty key\n[pnlPlayer]\nwidth=abc\r"),
                      QStringLiteral("before any section=1\n[a]\nk=v=w\n  [ b ]  \nK=\xe4\xf6\xfc\x20ac")});

    ok &= writeSeeds(folder, QStringLiteral("fuzz_texts"),
                     {QStringLiteral("; Deutsch\r\nbtnPlay=Abspielen\r\nactNext_hint=N\xe4"
                                     "chster Titel\r\n"
                                     "txt_version=Version %s\r\n"),
                      QStringLiteral("a=1\nA=2\n=x\nno equals\n\nlblInfo==\rkey=value with = sign"),
                      QStringLiteral("lang_name=\x65e5\x672c\x8a9e\nbtnLike1=\xd83c\xdfb5\n")});

    ok &= writeSeeds(
        folder, QStringLiteral("fuzz_help"),
        {QStringLiteral("[topic]Start\r\nPress F1 to like.\r\n\r\n[topic] Keys \r\nF5 previous\r\n"),
         QStringLiteral("text before any topic\n[topic]\n[TOPIC]not a marker\n[topic]Empty"),
         QStringLiteral("[topic]Umlaut \xe4\n\tindented\r[topic]Last\nline")});

    // A few MP3 layouts: the header that carries the exact length or none, mono and stereo, low rates.
    const QString mp3 = folder + QStringLiteral("/fuzz_mp3");
    QDir().mkpath(mp3);
    struct Seed {
        const char* name;
        sbtest::ToneSpec spec;
    };
    const Seed tones[] = {
        {"stereo-44k-lametag.mp3", {0.1, 440.0, 44100, 2, 128, true, 0.5}},
        {"stereo-44k-plain.mp3", {0.1, 440.0, 44100, 2, 128, false, 0.5}},
        {"mono-22k.mp3", {0.15, 1000.0, 22050, 1, 32, true, 0.5}},
        {"mono-8k-silence.mp3", {0.2, 0.0, 8000, 1, 8, false, 0.5}},
    };
    for (const Seed& seed : tones)
        ok &= sbtest::writeToneMp3(mp3 + QLatin1Char('/') + QLatin1String(seed.name), seed.spec);
    // The decoder-level MP3 target starts from the same files; the device-level target also gets the
    // other formats, as the engine picks their decoder by content.
    const QString decodeMp3 = folder + QStringLiteral("/fuzz_decode_mp3");
    QDir().mkpath(decodeMp3);
    for (const Seed& seed : tones)
        ok &= sbtest::writeToneMp3(decodeMp3 + QLatin1Char('/') + QLatin1String(seed.name), seed.spec);

    // Short tones of every FFmpeg format, made with the ffmpeg tool (skipped when it is missing).
    const QString decodeFfmpeg = folder + QStringLiteral("/fuzz_decode_ffmpeg");
    QDir().mkpath(decodeFfmpeg);
    struct FfSeed {
        const char* name;
        const char* format;
        int frames;
        int rate;
        int channels;
    };
    const FfSeed ffSeeds[] = {
        {"stereo.flac", "flac", 4410, 44100, 2},  {"mono.flac", "flac", 1000, 8000, 1},
        {"stereo.ogg", "vorbis", 4410, 44100, 2}, {"mono.ogg", "vorbis", 2205, 22050, 1},
        {"stereo.opus", "opus", 4800, 48000, 2},  {"mono.opus", "opus", 2400, 48000, 1},
        {"stereo.m4a", "aac", 4410, 44100, 2},    {"mono.m4a", "aac", 2048, 22050, 1},
        {"stereo.wav", "wav", 441, 44100, 2},     {"mono.wav", "wav", 800, 8000, 1}};
    for (const FfSeed& seed : ffSeeds) {
        const QString path = decodeFfmpeg + QLatin1Char('/') + QLatin1String(seed.name);
        if (sbtest::writeToneFfmpeg(path, QLatin1String(seed.format), seed.frames, 440.0, seed.rate,
                                    seed.channels))
            QFile::copy(path, mp3 + QStringLiteral("/ffmpeg-") + QLatin1String(seed.name));
    }

    // Tags: an ID3v2.4 tag in front (UTF-8 title, Latin-1 artist) and an ID3v1 tag at the end.
    const QString tags = folder + QStringLiteral("/fuzz_tags");
    QDir().mkpath(tags);
    {
        const QByteArray tone = sbtest::toneMp3({0.1, 440.0, 22050, 1, 32, true, 0.5});
        const QByteArray title = QByteArray("\x03") + QStringLiteral("Titel \u00e4").toUtf8();
        const QByteArray artist = QByteArray("\x00Artist", 7);
        auto frame = [](const char* id, const QByteArray& body) {
            return QByteArray(id) + QByteArray("\0\0\0", 3) + char(body.size()) + QByteArray(2, '\0') + body;
        };
        const QByteArray frames = frame("TIT2", title) + frame("TPE1", artist);
        const QByteArray v2 = QByteArray("ID3\x04\0\0\0\0\0", 9) + char(frames.size()) + frames;
        const QByteArray v1 = "TAG" + QByteArray("Old title").leftJustified(30, '\0') +
                              QByteArray("Old artist").leftJustified(30, '\0') +
                              QByteArray(30 + 4 + 30, '\0') + QByteArray(1, '\xff');
        ok &= sbtest::writeFile(tags + QStringLiteral("/v2.mp3"), v2 + tone);
        ok &= sbtest::writeFile(tags + QStringLiteral("/v1.mp3"), tone + v1);
        ok &= sbtest::writeFile(tags + QStringLiteral("/both.mp3"), v2 + tone + v1);
    }

    if (!ok) {
        std::fprintf(stderr, "make_seeds: cannot write the seeds into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
