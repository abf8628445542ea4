#pragma once
// A file copy that never replaces an existing file and never leaves a partial one behind. Qt Core only.
#include <QString>
#include <functional>

enum class TCopyResult {
    Copied,      // the target now holds a complete copy of the source
    TargetExists // a file or folder of that name was already there; nothing was changed
};

// Copies the regular file `source` to the full path `target`, whose folder must exist.
// The data go first into a hidden temporary file in the target's folder, are flushed to the disk, and only
// then is that file given its final name, in one step that fails rather than replace anything. On any
// failure the temporary file is removed, the source is left untouched, and SbError is thrown with a
// readable text (source missing or not a file, permission denied, disk full, ...). The copy keeps the
// source's permission bits (less the umask) and modification time.
// Blocking; safe to call from any thread.
TCopyResult copyFileNoReplace(const QString& source, const QString& target);

// Test seam: 0 uses every facility the system offers; 1 skips the kernel's in-place copy (read/write
// loop); 2 also skips the no-replace rename (hard link + unlink); 3 also skips hard links (exclusive
// placeholder + rename over it). Each level is what some file system forces on us.
void setCopyFallbackLevelForTests(int level);
// Test seam: called after the data are on the disk and before the final name is taken, so that a test can
// put a file there first. Pass {} to detach.
void setCopyBeforeCommitHookForTests(std::function<void()> hook);
