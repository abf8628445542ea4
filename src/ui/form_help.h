#pragma once
// The help viewer: topic titles on the left, the chosen topic's text on the right, from a help file in
// the Help folder named after the current language (English.help standing in).
#include "form_dialog.h"

#include <QStringList>

class QListWidget;
class QPlainTextEdit;
class QSplitter;

class TFormHelp : public TFormDialog {
    Q_OBJECT
public:
    explicit TFormHelp(QWidget* owner = nullptr);

    // Stores the path and shows the file's topics (the built-in topic when it cannot be read).
    void FormSetupHelpFile(const QString& sHelpFile);
    // The window handed to the geometry store (section "FormHelp").
    QWidget* form_object() { return this; }
    // Keeps LayoutLeft between the width limits; run after a width was restored.
    void LayoutLeftResize();

    // The help file for `language` in `helpFolder` (ending in '/'): <language>.help, else English.help,
    // else "" (the built-in topic). Logs "Help: " and the language's candidate.
    static QString chooseHelpFile(const QString& helpFolder, const QString& language);

    static constexpr int minWidth = 200;
    static constexpr int minLeftWidth = 50;
    static constexpr int maxLeftWidth = 600;

    QString Ffile_help;
    QStringList LIST_TOPIC;
    QStringList LIST_CONTENT;

    QWidget* LayoutLeft = nullptr;
    QListWidget* lbContent = nullptr;
    QSplitter* Splitter1 = nullptr;
    QWidget* LayoutContent = nullptr;
    QPlainTextEdit* MemoText = nullptr;

private:
    void showNotFound();
    void showTopics();
    void parseHelpFile();
    void lbContentChange();
};
