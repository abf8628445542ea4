#pragma once
// A file copy that never replaces an existing file and never leaves a partial one behind. Qt Core only.
#include "fileStamp.h"
#include "sbText.h"

#include <QString>
#include <functional>

enum class TCopyResult {
    Copied,      // the target now holds a complete copy of the source
    TargetExists // a file or folder of that name was already there; nothing was changed
};

// Copies the regular file `source` to the full path `target`, whose folder must exist.
// The data go first into a hidden temporary file in the target's folder (locked while it is written), their
// write-back to the disk is started, and only then is that file given its final name, in one step that
// fails rather than replace anything. On any failure the temporary file is removed, the source is left
// untouched, and SbError is thrown with a readable text (source missing or not a file, permission denied,
// disk full, ...). The copy keeps the source's permission bits (less the umask) and modification time.
// Waiting for the data to reach the disk is left to a background worker (see below), so a copy is complete
// and named when this returns but may not be durable yet.
// With `written`, a copy that was made fills it with the stamp of the file written (the file the name
// refers to when this returns), so that the copy can later be told from anything else under its name.
// Blocking; safe to call from any thread.
TCopyResult copyFileNoReplace(const QString& source, const QString& target, TFileStamp* written = nullptr);

// Blocks until every copy made so far is on the disk (or was found bad and dealt with) and the background
// worker has ended. Called on the program's normal way out, so that nothing is left unsynced when it ends.
void waitForCopiesOnDisk();

// Called on the background worker's thread when a committed copy turned out not to be on the disk (a late
// write error): the copy has been removed by then if its name still referred to it. `message` is the
// text for the user, to be put into the chosen language where it is shown. Pass {} to detach; detaching
// waits for a call in progress.
void setCopyDiskErrorHandler(std::function<void(const SbText& message)> handler);

// Removes the hidden temporary files that a copy interrupted by a crash left in `folder`: regular files
// named ".sonabin-*.part" that no running copy holds locked. Touches nothing else. Returns how many went.
int removeStaleCopyParts(const QString& folder);
// The same in every collection: each folder directly inside `baseFolder` (links to folders included).
// The base folder itself holds no copies and is left alone. Returns how many went in all.
int removeStaleCopyPartsInCollections(const QString& baseFolder);

// Test seam: 0 uses every facility the system offers; 1 skips the kernel's in-place copy (read/write
// loop); 2 also skips the no-replace rename (hard link + unlink); 3 also skips hard links (exclusive
// placeholder + rename over it). Each level is what some file system forces on us.
void setCopyFallbackLevelForTests(int level);
// Test seam: called after the data are written and before the final name is taken, so that a test can
// put a file there first. Pass {} to detach.
void setCopyBeforeCommitHookForTests(std::function<void()> hook);
// Test seam: the background sync reports this errno value (0: its real result), as a failing disk would.
void setCopySyncFailureForTests(int err);
// Test seam: called on the background worker before it syncs a copy. Pass {} to detach.
void setCopyBeforeSyncHookForTests(std::function<void()> hook);
