#pragma once
// The tags a player shows for a track (panel applets, media-key pop-ups). One function, so that other
// containers' tag readers can join it behind the same call.
#include <QString>

struct TTrackTags {
    QString title;  // empty when the file carries none
    QString artist; // empty when the file carries none
    QString album;  // empty when the file carries none
};

// Reads the tags of the file at `path` (an ID3v2 tag, else an ID3v1 tag at the end). Reads the head and
// the last 128 bytes of the file only; never decodes audio. A file that does not open, is no regular
// file or holds no tag gives empty fields. Any thread; no shared state.
TTrackTags readTrackTags(const QString& path);
