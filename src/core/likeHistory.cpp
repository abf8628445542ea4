#include "likeHistory.h"

#include "fsPath.h"

#include <cerrno>
#include <unistd.h>

TTakeBack TLikeHistory::takeBackLast() {
    TTakeBack done;
    if (likes.empty())
        return done;
    done.like = likes.back();
    const QByteArray target = pathBytes(done.like.target);
    TFileStamp now;
    bool regular = false;
    int err = 0;
    if (!readFileStamp(done.like.target, &now, &regular)) {
        err = errno;
        done.result = err == ENOENT || err == ENOTDIR ? TTakeBack::Missing : TTakeBack::Failed;
    } else if (!regular || now != done.like.stamp) {
        done.result = TTakeBack::Changed;
    } else if (::unlink(target.constData()) != 0) {
        // Only a file put there within the instant between the look and the removal could be hit; the
        // system offers no removal on condition of an inode.
        err = errno;
        done.result = err == ENOENT ? TTakeBack::Missing : TTakeBack::Failed;
    } else {
        done.result = TTakeBack::Removed;
    }
    if (done.result == TTakeBack::Failed)
        done.error = err;
    else
        likes.pop_back();
    return done;
}
