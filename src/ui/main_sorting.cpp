// Sorting a folder over several sittings: taking back a Like, and going on at the track the user stopped at.
#include "TrackList.h"
#include "diagnosticLog.h"
#include "dorLanguage.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "folderListing.h"
#include "main.h"

#include <QAction>
#include <QListView>
#include <system_error>
#include <utility>

namespace {

const QString common = QStringLiteral("common");
const QString fileCurrKey = QStringLiteral("file_curr");

QString textOf(const TLanguageEngine* language, const char* key, const char* def) {
    const QString text = QString::fromUtf8(def);
    return language ? language->getText(QString::fromLatin1(key), text) : text;
}

QString fileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(pathDelim) + 1);
}

QString folderPart(const QString& path) {
    return path.left(path.lastIndexOf(pathDelim) + 1);
}

} // namespace

void TFormMain::actUndoLikeExecute() {
    const TTakeBack done = likeHistory.takeBackLast();
    updateUndoLike();
    if (done.result == TTakeBack::Nothing)
        return;
    const QString name = fileNamePart(done.like.target);
    const QString shownName = displayName(name);
    const QString shownCollection = displayName(done.like.collection);
    static const char* const outcome[] = {"removed", "nothing", "missing", "changed", "failed"};
    addLogValue(QStringLiteral("actUndoLike"), done.like.target + QStringLiteral(" (") +
                                                   QLatin1String(outcome[done.result]) + QLatin1Char(')'));
    // Whatever was found, the counters may be stale now.
    updateButtons();
    if (done.result == TTakeBack::Removed || done.result == TTakeBack::Missing)
        noteSorted(folderPart(done.like.target), name, false);

    const QString title = actUndoLike->text();
    switch (done.result) {
    case TTakeBack::Removed:
        break;
    case TTakeBack::Missing:
        showInfo(title,
                 textOf(LanguageEngine, "txt_take_back_missing",
                        "\"%1\" is no longer in the collection \"%2\", so there was nothing to remove.")
                     .arg(shownName, shownCollection),
                 dmtWarning);
        return;
    case TTakeBack::Changed:
        showInfo(title,
                 textOf(LanguageEngine, "txt_take_back_changed",
                        "\"%1\" in the collection \"%2\" is not the copy this Like made (it was replaced or "
                        "changed since), so it was left in place.")
                     .arg(shownName, shownCollection),
                 dmtWarning);
        return;
    case TTakeBack::Failed:
        showInfo(title,
                 textOf(LanguageEngine, "txt_take_back_failed",
                        "\"%1\" could not be removed from the collection \"%2\": %3")
                     .arg(shownName, shownCollection,
                          QString::fromStdString(std::generic_category().message(done.error))),
                 dmtError);
        return;
    case TTakeBack::Nothing:
        return;
    }

    showInfo(title, textOf(LanguageEngine, "txt_like_taken_back", "Like taken back: %1").arg(shownName),
             dmtInfo);
    // A Like taken back is a decision undone: the track is played again from its start, to be judged again.
    if (folderPart(done.like.source) != withDelim(currentFolder) || !actPlay->isEnabled())
        return;
    const int row = getTrackIndexByName(fileNamePart(done.like.source));
    if (row >= 0)
        playRowAgain(row);
}

void TFormMain::updateUndoLike() {
    actUndoLike->setEnabled(!likeHistory.isEmpty());
}

void TFormMain::rememberTrack(const QString& file) {
    if (!optionsBase || (file.isEmpty() && optionsBase->ReadString(common, fileCurrKey, QString()).isEmpty()))
        return;
    optionsBase->WriteString(common, fileCurrKey, file);
}

void TFormMain::playRowAgain(int row) {
    if (!trackModel->isValidRow(row) || trackModel->entry(row).kind != TTrackListModel::kindTrack)
        return;
    if (trackListSelectedRow(lbTracklist) != row) {
        trackListSelectRow(lbTracklist, row); // the list's change handler starts it
        return;
    }
    actStop->trigger();
    playTrack(withDelim(currentFolder) + trackModel->entry(row).description);
}

void TFormMain::updateSortedIndex(bool relist) {
    sortedIndex.bind(withDelim(folderLibraryBase + folderLibrary1),
                     withDelim(folderLibraryBase + folderLibrary2), relist);
    trackModel->sortedChanged();
}

void TFormMain::noteSorted(const QString& folder, const QString& name, bool present) {
    if (present)
        sortedIndex.added(folder, name);
    else
        sortedIndex.removed(folder, name);
    trackModel->sortedChanged();
}

bool TFormMain::isSortedRow(int row) const {
    return trackModel->sortedMarks(row) != 0;
}
