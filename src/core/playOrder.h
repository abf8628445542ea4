#pragma once
// Which entry of the track list plays next. The list holds the parent entry, folders and tracks; these
// functions see it only through its length and a test for track entries, so they need no window.
#include <QRandomGenerator>
#include <functional>

using TIsTrack = std::function<bool(int row)>;

// The first track entry, or -1 when there is none: the track a folder starts with.
int firstTrackRow(int count, const TIsTrack& isTrack);
// Next in order: the entry after `row`, or -1 after the last (no wrap-around).
int nextRow(int count, int row);
// Previous in order: the entry before `row`, or -1 before the first.
int previousRow(int count, int row);
// Random play: a track entry drawn evenly, never `playing` while there are two or more tracks (a single
// track is drawn again); -1 when there are no tracks. Tracks may come again later.
int randomTrackRow(int count, const TIsTrack& isTrack, int playing, QRandomGenerator& generator);
