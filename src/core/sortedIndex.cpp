#include "sortedIndex.h"

#include "dorTools.h"

#include <QStringList>

void TSortedIndex::list(Bound& bound) {
    bound.names.clear();
    if (bound.folder.isEmpty())
        return;
    QStringList names;
    try {
        getFileList(&names, bound.folder, QString(), false);
    } catch (const SbError&) {
        return; // not there (yet): the first Like into it creates it
    }
    bound.names = QSet<QString>(names.cbegin(), names.cend());
}

void TSortedIndex::bind(const QString& folder1, const QString& folder2, bool relist) {
    const QString a = withDelim(folder1);
    const QString b = withDelim(folder2);
    const bool list1 = relist || a != one.folder;
    const bool list2 = relist || b != two.folder;
    one.folder = a;
    two.folder = b;
    const bool same = !a.isEmpty() && a == b;
    if (same && list1 != list2) {
        // One side already holds this folder's names, kept current since its listing.
        if (list1)
            one.names = two.names;
        else
            two.names = one.names;
        return;
    }
    if (list1)
        list(one);
    if (list2) {
        if (same)
            two.names = one.names;
        else
            list(two);
    }
}

void TSortedIndex::added(const QString& folder, const QString& name) {
    const QString f = withDelim(folder);
    for (Bound* b : {&one, &two})
        if (!f.isEmpty() && b->folder == f)
            b->names.insert(name);
}

void TSortedIndex::removed(const QString& folder, const QString& name) {
    const QString f = withDelim(folder);
    for (Bound* b : {&one, &two})
        if (!f.isEmpty() && b->folder == f)
            b->names.remove(name);
}

int TSortedIndex::marks(const QString& name) const {
    if (name.isEmpty())
        return 0;
    return (one.names.contains(name) ? inCollection1 : 0) | (two.names.contains(name) ? inCollection2 : 0);
}

QString TSortedIndex::folder(int button) const {
    return button == 1 ? one.folder : two.folder;
}
