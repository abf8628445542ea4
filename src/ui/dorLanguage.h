#pragma once
// The language engine: the texts of the current language as key=value lines, window translation by
// component names, runtime look-ups with defaults, the list of language files, and the scan that writes a
// window's texts as a source language file. User-interface thread only; never shows a message.
#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

// The key of a language file that names the locale of Qt's own texts (file dialogs, Yes/No, edit menus),
// such as "de" or "ru_RU".
inline const QString localeKey = QStringLiteral("locale");

// Loads Qt's own translations (Debian's qt6-translations-l10n) for `localeName`, or for the system's
// locale when it is empty, in place of the ones loaded before. A locale without a catalogue (English, "C")
// leaves Qt's built-in English texts. Needs the application object. Returns the file that was loaded, or
// an empty text.
QString applyQtLanguage(const QString& localeName);

class TLanguageEngine {
public:
    TLanguageEngine();
    // A copy holds the same texts, file encoding, folder, language and list; the scan of a window works on
    // one, so that the engine in use keeps the chosen language.
    TLanguageEngine(const TLanguageEngine& other);
    TLanguageEngine& operator=(const TLanguageEngine&) = delete;
    ~TLanguageEngine();

    // Empties Values and Languages.
    void Clear();
    // The value of `idName` (letter case ignored, first line wins), or `sDefText` when missing or empty.
    QString getText(const QString& idName, const QString& sDefText) const;
    // Loads a language file from `sFolder` (or Folder()); a missing file changes nothing, an unreadable one
    // empties Language() and keeps the old entries.
    void LoadFromFile(const QString& sFileName, const QString& sFolder);
    // Writes Values (default name "SOURCE.LNG") into `sFolder` (or Folder()); failures are swallowed.
    void SaveToFile(const QString& sFileName, const QString& sFolder);
    // Replaces Values by the window's texts; with SaveSource writes "SOURCE_<window name>.SRC" into Folder().
    void ScanForm(QWidget* sForm, bool SaveSource);
    // Fills Languages with the file names in the folder whose extension is in `lngExt`; returns the count.
    int ScanLanguages(const QString& sFolder, const QString& lngExt);
    // Puts the language's texts into the window's components (never its caption).
    void TranslateForm(QWidget* sForm);

    QString Folder() const { return FFolder; }
    void setFolder(const QString& folder) { FFolder = folder; }
    QString Language() const { return FLanguage; }
    void SetLanguage(const QString& language) { FLanguage = language; }

    const QStringList& values() const;
    const QStringList& languages() const { return Languages; }

private:
    // Stores one component's texts during a scan: the text under `sName`, the hint under `sName`_hint,
    // each trimmed and only when not empty.
    void addEntry(const QString& sName, const QString& sText, const QString& sHint);

    struct Private;
    std::unique_ptr<Private> d;
    QString FFolder;
    QString FLanguage;
    QStringList Languages;
};
