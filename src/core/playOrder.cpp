#include "playOrder.h"

int firstTrackRow(int count, const TIsTrack& isTrack) {
    for (int row = 0; row < count; ++row)
        if (isTrack(row))
            return row;
    return -1;
}

int nextRow(int count, int row) {
    return row >= 0 && row < count - 1 ? row + 1 : -1;
}

int previousRow(int count, int row) {
    return row > 0 && row < count ? row - 1 : -1;
}

int randomTrackRow(int count, const TIsTrack& isTrack, int playing, QRandomGenerator& generator) {
    int tracks = 0;
    bool playingIsTrack = false;
    for (int row = 0; row < count; ++row) {
        if (isTrack(row)) {
            ++tracks;
            playingIsTrack = playingIsTrack || row == playing;
        }
    }
    if (tracks == 0)
        return -1;
    const bool skipPlaying = playingIsTrack && tracks >= 2;
    int pick = static_cast<int>(generator.bounded(skipPlaying ? tracks - 1 : tracks));
    for (int row = 0; row < count; ++row) {
        if (!isTrack(row) || (skipPlaying && row == playing))
            continue;
        if (pick-- == 0)
            return row;
    }
    return -1;
}
