// Sorting a folder over several sittings: taking back a Like, and going on at the track the user stopped at.
#include "TrackList.h"
#include "diagnosticLog.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "folderListing.h"
#include "main.h"

#include <QAction>
#include <QListView>
#include <utility>

namespace {

const QString common = QStringLiteral("common");
const QString fileCurrKey = QStringLiteral("file_curr");

QString fileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(pathDelim) + 1);
}

QString folderPart(const QString& path) {
    return path.left(path.lastIndexOf(pathDelim) + 1);
}

} // namespace

void TFormMain::actUndoLikeExecute() {
    session().takeBack();
}

void TFormMain::onTakenBack(const TTakeBack& done) {
    // A Like taken back is a decision undone: the track is played again from its start, to be judged again.
    if (done.result != TTakeBack::Removed || folderPart(done.like.source) != withDelim(currentFolder) ||
        !actPlay->isEnabled())
        return;
    const int row = getTrackIndexByName(fileNamePart(done.like.source));
    if (row >= 0)
        playRowAgain(row);
}

void TFormMain::updateUndoLike() {
    actUndoLike->setEnabled(!session().likeHistory().isEmpty());
}

void TFormMain::rememberTrack(const QString& file) {
    if (!optionsBase || (file.isEmpty() && optionsBase->ReadString(common, fileCurrKey, QString()).isEmpty()))
        return;
    optionsBase->WriteString(common, fileCurrKey, file);
}

void TFormMain::playRowAgain(int row) {
    if (!trackModel->isTrack(row))
        return;
    if (trackListSelectedRow(lbTracklist) != row) {
        trackListSelectRow(lbTracklist, row); // the list's change handler starts it
        return;
    }
    actStop->trigger();
    playTrack(withDelim(currentFolder) + trackModel->entry(row).description);
}

void TFormMain::updateSortedIndex(bool relist) {
    session().updateSortedIndex(relist);
}

void TFormMain::noteSorted(const QString& folder, const QString& name, bool present) {
    session().noteSorted(folder, name, present);
}

bool TFormMain::isSortedRow(int row) const {
    return trackModel->sortedMarks(row) != 0;
}
