// Tags through libmpg123: it parses an ID3v2 tag while looking for the first frame, and picks up an
// ID3v1 tag at the end of a seekable file when it opens it.
#include "trackTags.h"

#include "fsPath.h"

#include <mpg123.h>
#include <mutex>
#include <unistd.h>

namespace {

QString fromV2(const mpg123_string* s) {
    if (!s || !s->p || s->fill == 0)
        return {};
    // libmpg123 hands every ID3v2 text over as UTF-8, whatever encoding the tag used.
    return QString::fromUtf8(s->p, static_cast<qsizetype>(s->fill) - 1).trimmed();
}

QString fromV1(const char* field, int size) {
    qsizetype n = 0;
    while (n < size && field[n] != '\0')
        ++n;
    // ID3v1 has no declared encoding; Latin-1 is what the format names.
    return QString::fromLatin1(field, n).trimmed();
}

} // namespace

TTrackTags readTrackTags(const QString& path) {
    TTrackTags tags;
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    const int fd = openRegularFile(path);
    if (fd < 0)
        return tags;
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) {
        ::close(fd);
        return tags;
    }
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    if (mpg123_open_fd(mh, fd) == MPG123_OK) {
        long rate = 0;
        int channels = 0, encoding = 0;
        // Finding the first frame parses an ID3v2 tag in front of it.
        mpg123_getformat(mh, &rate, &channels, &encoding);
        mpg123_id3v1* v1 = nullptr;
        mpg123_id3v2* v2 = nullptr;
        if ((mpg123_meta_check(mh) & MPG123_ID3) && mpg123_id3(mh, &v1, &v2) == MPG123_OK) {
            if (v2) {
                tags.title = fromV2(v2->title);
                tags.artist = fromV2(v2->artist);
                tags.album = fromV2(v2->album);
            }
            if (v1) {
                if (tags.title.isEmpty())
                    tags.title = fromV1(v1->title, sizeof v1->title);
                if (tags.artist.isEmpty())
                    tags.artist = fromV1(v1->artist, sizeof v1->artist);
                if (tags.album.isEmpty())
                    tags.album = fromV1(v1->album, sizeof v1->album);
            }
        }
        mpg123_close(mh);
    }
    mpg123_delete(mh);
    ::close(fd); // mpg123_open_fd does not take the descriptor over
    return tags;
}
