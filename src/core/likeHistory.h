#pragma once
// This run's Likes that made a copy, newest last, and taking the newest one back. A copy is removed only
// while it is still the very file this run wrote; anything else under its name is left alone.
// Qt Core only; user-interface thread.
#include "fileStamp.h"

#include <QString>
#include <vector>

struct TLikeRecord {
    QString source;     // the liked track, full path
    QString target;     // its copy, full path
    QString collection; // the collection's name when the Like was made
    TFileStamp stamp;   // the copy as this run wrote it
};

struct TTakeBack {
    enum Result {
        Removed, // the copy was still the file this run wrote; it is gone now
        Nothing, // no Like of this run is left to take back
        Missing, // the copy is no longer there (deleted or moved meanwhile): nothing was removed
        Changed, // the name now holds another file, or the copy was changed since: nothing was removed
        Failed   // the copy could not be removed (`error` holds the errno value); the Like stays
    };
    Result result = Nothing;
    TLikeRecord like; // the Like concerned; empty for Nothing
    int error = 0;
};

class TLikeHistory {
public:
    void add(TLikeRecord like) { likes.push_back(std::move(like)); }
    bool isEmpty() const { return likes.empty(); }
    int size() const { return static_cast<int>(likes.size()); }
    // The newest Like; the history must not be empty.
    const TLikeRecord& last() const { return likes.back(); }
    void clear() { likes.clear(); }

    // Takes back the newest Like: its copy is removed only when the name still holds the file this run
    // wrote, unchanged. The Like then leaves the history, also when it found nothing to remove, so that
    // the next call goes on to the one before; only a removal that failed keeps it, to be tried again.
    TTakeBack takeBackLast();

private:
    std::vector<TLikeRecord> likes;
};
