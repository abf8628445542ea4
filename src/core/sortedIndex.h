#pragma once
// Which file names the two bound collections hold, taken from one listing of each, so that the track
// list can mark every sorted track without any file-system work per entry. Qt Core only; user-interface
// thread.
#include <QSet>
#include <QString>

class TSortedIndex {
public:
    // Bit of each button's collection in marks().
    enum : int { inCollection1 = 1, inCollection2 = 2 };

    // Binds the buttons to the collection folders `folder1` and `folder2` (full paths) and lists each
    // folder whose binding changed, or both with `relist`; a folder bound to both buttons is listed once.
    // A folder that is missing or cannot be read holds nothing.
    void bind(const QString& folder1, const QString& folder2, bool relist);
    // A file `name` now is, or no longer is, in `folder`; every button bound to that folder follows.
    void added(const QString& folder, const QString& name);
    void removed(const QString& folder, const QString& name);

    // inCollection1 | inCollection2 for the collections that hold a file named `name`.
    int marks(const QString& name) const;
    QString folder(int button) const;

private:
    struct Bound {
        QString folder; // ends in the path delimiter; empty when unbound
        QSet<QString> names;
    };
    static void list(Bound& bound);
    Bound one;
    Bound two;
};
