#include "form_options.h"

#include "dorLanguage.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "main.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QString common = QStringLiteral("common");
constexpr int fileNameRole = Qt::UserRole;
} // namespace

TFormOptions::TFormOptions(QWidget* owner)
    : TFormDialog(owner, QStringLiteral("FormOptions"), QStringLiteral("Options"), 95, true) {
    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("LayoutContent"));
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(8);

    lblFolder = new QLabel(QStringLiteral("Folder for collections"), body);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    edFolder = new QLineEdit(body);
    edFolder->setObjectName(QStringLiteral("edFolder"));
    lblFolder->setBuddy(edFolder);
    btnSelectFolder = new QToolButton(body);
    btnSelectFolder->setObjectName(QStringLiteral("btnSelectFolder"));
    btnSelectFolder->setText(QStringLiteral("..."));
    btnSelectFolder->setToolTip(QStringLiteral("Choose folder"));
    btnSelectFolder->setAutoRaise(false);
    connect(btnSelectFolder, &QToolButton::clicked, this, &TFormOptions::btnSelectFolderClick);
    auto* folderRow = new QHBoxLayout();
    folderRow->setSpacing(6);
    folderRow->addWidget(edFolder, 1);
    folderRow->addWidget(btnSelectFolder);
    column->addWidget(lblFolder);
    column->addLayout(folderRow);
    column->addSpacing(10);

    cbPlayNextAfterCopy = new QCheckBox(QStringLiteral("Play next track after copy"), body);
    cbPlayNextAfterCopy->setObjectName(QStringLiteral("cbPlayNextAfterCopy"));
    cbAutoOffcet = new QCheckBox(QStringLiteral("Auto offset at play"), body);
    cbAutoOffcet->setObjectName(QStringLiteral("cbAutoOffcet"));
    cbPlayRandom = new QCheckBox(QStringLiteral("Play in random order"), body);
    cbPlayRandom->setObjectName(QStringLiteral("cbPlayRandom"));
    cbSkipSorted = new QCheckBox(QStringLiteral("Skip tracks already in a collection"), body);
    cbSkipSorted->setObjectName(QStringLiteral("cbSkipSorted"));
    for (QCheckBox* c : {cbPlayNextAfterCopy, cbAutoOffcet, cbPlayRandom, cbSkipSorted})
        column->addWidget(c);
    column->addSpacing(10);

    lblLanguage = new QLabel(QStringLiteral("Language"), body);
    lblLanguage->setObjectName(QStringLiteral("lblLanguage"));
    cbLanguage = new QListWidget(body);
    cbLanguage->setObjectName(QStringLiteral("cbLanguage"));
    cbLanguage->setSelectionMode(QAbstractItemView::SingleSelection);
    cbLanguage->setMinimumHeight(73);
    lblLanguage->setBuddy(cbLanguage);
    column->addWidget(lblLanguage);
    column->addWidget(cbLanguage, 1);

    setBody(body);
    resize(554, 474);
    centerOnScreen();
}

void TFormOptions::form_ReadOptions() {
    edFolder->setText(
        optionsBase->ReadString(common, QStringLiteral("folder_lib"), TFormMain::defaultLibraryBase()));
    cbPlayNextAfterCopy->setChecked(optionsBase->ReadBool(common, QStringLiteral("auto_play_next"), true));
    cbAutoOffcet->setChecked(optionsBase->ReadBool(common, QStringLiteral("auto_offset"), false));
    cbPlayRandom->setChecked(optionsBase->ReadBool(common, QStringLiteral("random_play"), false));
    cbSkipSorted->setChecked(optionsBase->ReadBool(common, QStringLiteral("skip_sorted"), false));

    cbLanguage->clearSelection();
    if (cbLanguage->count() == 0)
        return;
    const QString language = optionsBase->ReadString(common, QStringLiteral("language"), QString());
    // No language chosen means the built-in English texts: mark English when there is such a file, and
    // otherwise nothing, so that OK does not switch to whichever file happens to be listed first.
    const QString wanted = language.isEmpty() ? QStringLiteral("English") : language;
    for (int i = 0; i < cbLanguage->count(); ++i) {
        QListWidgetItem* item = cbLanguage->item(i);
        const QString file = item->data(fileNameRole).toString();
        const QString key = language.isEmpty() ? QFileInfo(file).completeBaseName() : file;
        if (key.compare(wanted, Qt::CaseInsensitive) == 0) {
            cbLanguage->setCurrentItem(item);
            item->setSelected(true);
            cbLanguage->scrollToItem(item);
            return;
        }
    }
}

void TFormOptions::form_SaveOptions() {
    optionsBase->WriteString(common, QStringLiteral("folder_lib"), expandTypedFolder(edFolder->text()));
    optionsBase->WriteBool(common, QStringLiteral("auto_play_next"), cbPlayNextAfterCopy->isChecked());
    optionsBase->WriteBool(common, QStringLiteral("auto_offset"), cbAutoOffcet->isChecked());
    optionsBase->WriteBool(common, QStringLiteral("random_play"), cbPlayRandom->isChecked());
    optionsBase->WriteBool(common, QStringLiteral("skip_sorted"), cbSkipSorted->isChecked());
    optionsBase->WriteString(common, QStringLiteral("language"), Form_Language());
}

void TFormOptions::accept() {
    // A relative path would put the collections below whatever folder the program was started from.
    const QString folder = expandTypedFolder(edFolder->text());
    if (!folder.isEmpty() && !folder.startsWith(pathDelim)) {
        const QString def = QStringLiteral(
            "\"%1\" is not a full path. Please enter the folder for collections from the root, beginning "
            "with \"/\" or \"~\" (for example ~/Sonabin).");
        const QString text = texts ? texts->getText(QStringLiteral("txt_folder_not_full_path"), def) : def;
        QMessageBox::warning(this, windowTitle(), text.arg(folder));
        edFolder->setFocus();
        edFolder->selectAll();
        return;
    }
    TFormDialog::accept();
}

void TFormOptions::Form_LangAdd(const QString& sLanguage) {
    // The list shows the language's name; the file name is what the setting keeps.
    auto* item = new QListWidgetItem(QFileInfo(sLanguage).completeBaseName(), cbLanguage);
    item->setData(fileNameRole, sLanguage);
    item->setToolTip(sLanguage);
}

QString TFormOptions::Form_Language() const {
    const QList<QListWidgetItem*> chosen = cbLanguage->selectedItems();
    return chosen.isEmpty() ? QString() : chosen.first()->data(fileNameRole).toString();
}

void TFormOptions::btnSelectFolderClick() {
    QFileDialog dialog(this, lblFolder->text(), edFolder->text());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.resize(820, 520); // room for the columns of Qt's dialog; a desktop's own dialog keeps its size
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    edFolder->setText(dialog.selectedFiles().constFirst());
}
