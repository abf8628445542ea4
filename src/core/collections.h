#pragma once
// The collections: the base folder, the collection folders directly inside it, the two that the Like
// buttons are bound to, and what a Like, a new folder and a delete do there. Qt Core only; user-interface
// thread. Every system call on a collection goes through here.
#include "fileStamp.h"

#include <QString>
#include <QStringList>

// What a Like did.
struct TLikeOutcome {
    bool copied = false; // false: a file or folder of that name was already there, nothing was changed
    QString target;      // the name in the collection, full path
    TFileStamp written;  // the copy as written (copied only), to tell it from a later file of that name
    bool sorted = false; // a regular file of that name is in the collection now (the marks follow)
};

// A new collection name the user can correct.
enum class TCreateRefusal {
    None,      // made
    Empty,     // no name
    Delimiter, // holds a path delimiter (or a NUL)
    Dots,      // "." or ".."
    Exists     // a file or folder of that name is there already
};

class TCollections {
public:
    // The base folder used when none is set: ~/Sonabin (without a trailing delimiter).
    static QString defaultBase();
    // A collection is a folder directly inside the base folder, so its name must be a plain folder name.
    static bool isUsableName(const QString& name);
    // The usable names of a language's comma list, padded from the built-in list to at least two; both
    // buttons need a collection. `skipped` receives the names left out.
    static QStringList namesFromList(const QString& listText, QStringList* skipped = nullptr);

    // The base folder: as set (typed, from the settings) until bindDefaults, then a full path with one
    // trailing delimiter.
    QString base() const { return FBase; }
    void setBase(const QString& typed) { FBase = typed; }
    // The collection bound to button `slot` (1 or 2).
    QString name(int slot) const { return slot == 1 ? FName1 : FName2; }
    void bind(int slot, const QString& name);
    // The collection folder of `collection`, or of the button `slot`, with a trailing delimiter.
    QString folderOf(const QString& collection) const;
    QString folder(int slot) const { return folderOf(name(slot)); }

    // Expands the typed base folder ("~/Sorted" as a shell does); empty or relative (only a hand-edited
    // settings file holds one) takes the default, as does `reset`. Binds the buttons to the first two of
    // `names`. Makes no folder.
    void bindDefaults(const QStringList& names, bool reset);
    // Makes the base folder and the collections `names` where missing, and removes the parts of copies a
    // crash cut short in every collection. Throws SbError for a folder that cannot be made.
    void makeFolders(const QStringList& names);

    // Copies the track `trackPath` into the button's collection (made when missing) under its own name;
    // a name already there is never replaced, whatever it holds. Throws SbError with the reason when the
    // copy fails, when the path names no track or the button no collection.
    TLikeOutcome like(const QString& trackPath, int slot) { return likeInto(trackPath, name(slot)); }
    TLikeOutcome likeInto(const QString& trackPath, const QString& collection);

    // Makes the collection `name` in the base folder; a name the user can correct is refused with the
    // reason. Throws SbError when the base folder or the new folder cannot be made.
    TCreateRefusal create(const QString& name);
    // Deletes the file `fileName` from the button's collection; one gone meanwhile is no failure.
    // Throws SbError with the system's reason when it cannot be deleted.
    void remove(int slot, const QString& fileName);

    // The supported audio files in the button's collection; 0 when the folder is missing or unreadable.
    int count(int slot) const;
    // True when the collection holds a regular file named `fileName`.
    bool holds(int slot, const QString& fileName) const { return holdsIn(name(slot), fileName); }
    bool holdsIn(const QString& collection, const QString& fileName) const;
    // The folders in the base folder that can hold a copy (folders and links to them), in name order.
    // Throws SbError when the base folder is missing or cannot be read.
    QStringList listFolders() const;

private:
    QString FBase;
    QString FName1;
    QString FName2;
};
