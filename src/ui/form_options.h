#pragma once
// The options dialog: the collections' base folder, the three playback options and the language. It
// reads the settings store when filled and writes it (memory only) on form_SaveOptions; the main window
// then saves and reloads the settings.
#include "form_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;
class TLanguageEngine;

class TFormOptions : public TFormDialog {
    Q_OBJECT
public:
    explicit TFormOptions(QWidget* owner = nullptr);

    // The texts of the dialog's own messages; the built-in English ones when null.
    const TLanguageEngine* texts = nullptr;

    // Fills the controls from the section "common" of optionsBase.
    void form_ReadOptions();
    // Writes the controls into optionsBase: the folder as a Linux user means it (a leading "~" expanded,
    // blanks only stored as empty, which means the default), the options as "1"/"0", and the chosen
    // language file ("" when none is chosen).
    void form_SaveOptions();
    // OK: refused with a message, the dialog staying open, while the folder is not a full path.
    void accept() override;
    // Appends one language file name (with extension) to the list.
    void Form_LangAdd(const QString& sLanguage);
    // The file name of the chosen language, or "" when none is chosen.
    QString Form_Language() const;

    QLabel* lblFolder = nullptr;
    QLineEdit* edFolder = nullptr;
    QToolButton* btnSelectFolder = nullptr;
    QCheckBox* cbPlayNextAfterCopy = nullptr;
    QCheckBox* cbAutoOffcet = nullptr;
    QCheckBox* cbPlayRandom = nullptr;
    QCheckBox* cbSkipSorted = nullptr; // skip_sorted: Next and random play pass over sorted tracks
    QLabel* lblLanguage = nullptr;
    QListWidget* cbLanguage = nullptr;

private:
    void btnSelectFolderClick();
};
