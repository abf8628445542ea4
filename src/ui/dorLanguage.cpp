#include "dorLanguage.h"

#include "dorTools.h"
#include "languageTexts.h"
#include "sbWidgets.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QMovie>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTranslator>
#include <QWidget>

struct TLanguageEngine::Private {
    TTexts texts;
};

namespace {

const QString hintSuffix = QStringLiteral("_hint");

// A button that shows an action takes its texts from the action, so it has none of its own.
bool isBoundToAction(const QObject* o) {
    const auto* tb = qobject_cast<const QToolButton*>(o);
    return tb && tb->defaultAction();
}

// A label that shows a picture is an image, not a text: setting a text would drop the picture.
bool isTextLabel(const QLabel* l) {
    return l->pixmap().isNull() && !l->movie();
}

// The hint of an action as it was set. The program's actions keep it in the property "hint"
// (setActionHint); for any other action look at the tool tip, with the text taken away for a moment,
// because QAction::toolTip() answers with the text when no tool tip was set.
QString hintOf(QAction* a) {
    if (a->property("hint").isValid())
        return actionHint(a);
    const QString text = a->text();
    if (text.isEmpty())
        return a->toolTip();
    const QSignalBlocker block(a);
    a->setText(QString());
    const QString hint = a->toolTip();
    a->setText(text);
    return hint;
}

// Every component the window owns, in creation order: its children depth-first, then actions added to it
// that are not its children. Another window among the children (an open dialog, the notification popup)
// is not part of this one and is skipped with all it holds; a menu is a window to Qt but its entries
// belong here.
QList<QObject*> formComponents(QWidget* form) {
    QList<QObject*> out;
    QSet<QObject*> seen;
    auto walk = [&](auto& self, QObject* parent) -> void {
        for (QObject* child : parent->children()) {
            const auto* w = qobject_cast<const QWidget*>(child);
            if (w && w->isWindow() && !qobject_cast<const QMenu*>(w))
                continue;
            if (seen.contains(child))
                continue;
            seen.insert(child);
            out.append(child);
            self(self, child);
        }
    };
    walk(walk, form);
    for (QAction* a : form->actions()) {
        if (!seen.contains(a)) {
            seen.insert(a);
            out.append(a);
        }
    }
    return out;
}

QPointer<QTranslator> qtTranslator;

} // namespace

QString applyQtLanguage(const QString& localeName) {
    if (!QCoreApplication::instance())
        return {};
    const QLocale locale = localeName.trimmed().isEmpty() ? QLocale::system() : QLocale(localeName.trimmed());
    auto* next = new QTranslator(QCoreApplication::instance());
    // qtbase holds every text of Qt Widgets that the program shows (dialogs, buttons, edit menus).
    if (!next->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete next;
        next = nullptr;
    }
    if (qtTranslator) {
        QCoreApplication::removeTranslator(qtTranslator);
        delete qtTranslator;
    }
    qtTranslator = next;
    if (!next)
        return {};
    QCoreApplication::installTranslator(next);
    return next->filePath();
}

TLanguageEngine::TLanguageEngine() : d(std::make_unique<Private>()) {}

TLanguageEngine::TLanguageEngine(const TLanguageEngine& other)
    : d(std::make_unique<Private>(*other.d)), FFolder(other.FFolder), FLanguage(other.FLanguage),
      Languages(other.Languages) {}

TLanguageEngine::~TLanguageEngine() = default;

void TLanguageEngine::Clear() {
    d->texts.clear();
    Languages.clear();
}

QString TLanguageEngine::getText(const QString& idName, const QString& sDefText) const {
    return d->texts.getText(idName, sDefText);
}

const QStringList& TLanguageEngine::values() const {
    return d->texts.lines();
}

void TLanguageEngine::LoadFromFile(const QString& sFileName, const QString& sFolder) {
    const QString path = withDelim(sFolder.isEmpty() ? FFolder : sFolder) + sFileName;
    if (!QFileInfo::exists(path))
        return;
    if (d->texts.loadFromFile(path))
        FLanguage = QFileInfo(path).completeBaseName();
    else
        FLanguage.clear();
}

void TLanguageEngine::SaveToFile(const QString& sFileName, const QString& sFolder) {
    const QString name = sFileName.isEmpty() ? QStringLiteral("SOURCE.LNG") : sFileName;
    const QString folder = sFolder.isEmpty() ? FFolder : sFolder;
    // Failures are swallowed: a source file that cannot be written is simply not there.
    if (!folder.isEmpty() && !QDir().mkpath(folder))
        return;
    d->texts.saveToFile(withDelim(folder) + name);
}

void TLanguageEngine::addEntry(const QString& sName, const QString& sText, const QString& sHint) {
    const QString text = trimBlanks(sText);
    const QString hint = trimBlanks(sHint);
    if (!text.isEmpty())
        d->texts.setText(sName, text);
    if (!hint.isEmpty())
        d->texts.setText(sName + hintSuffix, hint);
}

void TLanguageEngine::ScanForm(QWidget* sForm, bool SaveSource) {
    Clear();
    if (!sForm)
        return;
    for (QObject* o : formComponents(sForm)) {
        const QString name = o->objectName();
        if (name.isEmpty())
            continue;
        if (auto* a = qobject_cast<QAction*>(o); a && !a->isSeparator())
            addEntry(name, a->text(), hintOf(a));
        if (const auto* l = qobject_cast<const QLabel*>(o); l && isTextLabel(l))
            addEntry(name, l->text(), QString());
        if (const auto* b = qobject_cast<const QAbstractButton*>(o); b && !isBoundToAction(b))
            addEntry(name, b->text(), QString());
    }
    if (SaveSource)
        SaveToFile(QStringLiteral("SOURCE_") + sForm->objectName() + QStringLiteral(".SRC"), QString());
}

int TLanguageEngine::ScanLanguages(const QString& sFolder, const QString& lngExt) {
    Languages = listFilesByExtension(sFolder.isEmpty() ? FFolder : sFolder, lngExt);
    return int(Languages.size());
}

void TLanguageEngine::TranslateForm(QWidget* sForm) {
    if (!sForm)
        return;
    const TTexts& texts = d->texts;
    for (QObject* o : formComponents(sForm)) {
        const QString name = o->objectName();
        if (name.isEmpty())
            continue;
        const bool hasText = texts.contains(name);
        if (auto* a = qobject_cast<QAction*>(o)) {
            if (hasText)
                a->setText(texts.value(name));
            if (const QString hintKey = name + hintSuffix; texts.contains(hintKey))
                setActionHint(a, texts.value(hintKey));
            continue;
        }
        if (!hasText)
            continue;
        if (auto* l = qobject_cast<QLabel*>(o)) {
            // A language file's text is shown as it is, never as markup.
            if (isTextLabel(l)) {
                l->setTextFormat(Qt::PlainText);
                l->setText(texts.value(name));
            }
        } else if (auto* b = qobject_cast<QAbstractButton*>(o); b && !isBoundToAction(b))
            b->setText(texts.value(name));
    }
}
