#include "formGeometry.h"

#include "dorOptions.h"

#include <QSplitter>
#include <QWidget>

#include <algorithm>

void saveForm(TOptionsBase& options, QWidget* form) {
    const QString section = form->objectName();
    options.WriteInteger(section, QStringLiteral("left"), form->x());
    options.WriteInteger(section, QStringLiteral("top"), form->y());
    options.WriteInteger(section, QStringLiteral("width"), form->width());
    options.WriteInteger(section, QStringLiteral("height"), form->height());
}

void loadForm(TOptionsBase& options, QWidget* form) {
    // Each value defaults to the window's current one and is applied at once, in this order. Stored
    // positions are used as they are, even off the screen. move() also makes the window open exactly
    // there instead of where the window manager would place it.
    const QString section = form->objectName();
    form->move(options.ReadInteger(section, QStringLiteral("left"), form->x()), form->y());
    form->move(form->x(), options.ReadInteger(section, QStringLiteral("top"), form->y()));
    form->resize(options.ReadInteger(section, QStringLiteral("width"), form->width()), form->height());
    form->resize(form->width(), options.ReadInteger(section, QStringLiteral("height"), form->height()));
}

void saveWidth(TOptionsBase& options, QWidget* control) {
    options.WriteInteger(control->objectName(), QStringLiteral("width"), control->width());
}

void loadWidth(TOptionsBase& options, QWidget* control) {
    const int width = options.ReadInteger(control->objectName(), QStringLiteral("width"), control->width());
    auto* splitter = qobject_cast<QSplitter*>(control->parentWidget());
    if (!splitter || splitter->orientation() != Qt::Horizontal || splitter->count() < 2) {
        control->resize(width, control->height());
        return;
    }
    // Inside a splitter the widths belong to the splitter: give the control its width and let the
    // other panes share the rest in proportion to their present widths.
    const int index = splitter->indexOf(control);
    if (index < 0) {
        control->resize(width, control->height());
        return;
    }
    QList<int> sizes = splitter->sizes();
    int total = 0;
    for (int s : std::as_const(sizes))
        total += s;
    if (total <= 0)
        total = splitter->width() - splitter->handleWidth() * (splitter->count() - 1);
    const int others = total - sizes.at(index);
    const int rest = std::max(total - width, 0);
    const int count = int(sizes.size()) - 1;
    int given = 0;
    int seen = 0;
    for (int i = 0; i < sizes.size(); ++i) {
        if (i == index)
            continue;
        ++seen;
        int share = others > 0 ? int(qint64(rest) * sizes.at(i) / others) : rest / count;
        if (seen == count)
            share = rest - given; // the last pane takes what rounding left over
        given += share;
        sizes[i] = std::max(share, 1);
    }
    sizes[index] = width;
    splitter->setSizes(sizes);
}
