#include "form_help.h"
#include "sbWidgets.h"

#include "diagnosticLog.h"
#include "helpFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QVBoxLayout>

namespace {
bool isFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// `name` in `folder`, or a file whose name differs only in letter case (german.lng gives German.help).
QString findFile(const QString& folder, const QString& name) {
    if (isFile(folder + name))
        return folder + name;
    const QStringList all = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& f : all)
        if (f.compare(name, Qt::CaseInsensitive) == 0)
            return folder + f;
    return QString();
}
} // namespace

TFormHelp::TFormHelp(QWidget* owner)
    : TFormDialog(owner, QStringLiteral("FormHelp"), QStringLiteral("Help"), 95, false) {
    setSizeGripEnabled(true);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(8);
    Splitter1->setChildrenCollapsible(false);

    LayoutLeft = new QWidget(Splitter1);
    LayoutLeft->setObjectName(QStringLiteral("LayoutLeft"));
    LayoutLeft->setMinimumWidth(minLeftWidth);
    LayoutLeft->setMaximumWidth(maxLeftWidth);
    auto* left = new QVBoxLayout(LayoutLeft);
    left->setContentsMargins(10, 10, 0, 10);
    lbContent = new QListWidget(LayoutLeft);
    lbContent->setObjectName(QStringLiteral("lbContent"));
    lbContent->setSelectionMode(QAbstractItemView::SingleSelection);
    lbContent->setUniformItemSizes(true);
    left->addWidget(lbContent);
    connect(lbContent, &QListWidget::currentRowChanged, this, &TFormHelp::lbContentChange);

    LayoutContent = new QWidget(Splitter1);
    LayoutContent->setObjectName(QStringLiteral("LayoutContent"));
    LayoutContent->setMinimumWidth(20);
    auto* right = new QVBoxLayout(LayoutContent);
    right->setContentsMargins(0, 10, 10, 10);
    MemoText = new QPlainTextEdit(LayoutContent);
    MemoText->setObjectName(QStringLiteral("MemoText"));
    MemoText->setReadOnly(true);
    MemoText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    MemoText->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    MemoText->document()->setDocumentMargin(10);
    right->addWidget(MemoText);

    Splitter1->addWidget(LayoutLeft);
    Splitter1->addWidget(LayoutContent);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    setBody(Splitter1);

    setMinimumWidth(minWidth);
    resize(841, 623);
    layout()->activate(); // gives the splitter its size now, so the stored width lands where it should
    Splitter1->setSizes({305, 841 - 305 - Splitter1->handleWidth()});
    // The stored geometry is applied over this; without one the window opens centred.
    centerOnScreen();
    showNotFound();
}

QString TFormHelp::chooseHelpFile(const QString& helpFolder, const QString& language) {
    const QString candidate =
        language.isEmpty() ? QString() : helpFolder + language + QStringLiteral(".help");
    addLog(QStringLiteral("Help: ") + candidate);
    if (!language.isEmpty()) {
        const QString found = findFile(helpFolder, language + QStringLiteral(".help"));
        if (!found.isEmpty())
            return found;
    }
    return findFile(helpFolder, QStringLiteral("English.help"));
}

void TFormHelp::FormSetupHelpFile(const QString& sHelpFile) {
    Ffile_help = sHelpFile;
    parseHelpFile();
}

void TFormHelp::LayoutLeftResize() {
    const QList<int> sizes = Splitter1->sizes();
    const int width = sizes.isEmpty() ? LayoutLeft->width() : sizes.first();
    const int clamped = std::clamp(width, minLeftWidth, maxLeftWidth);
    if (clamped == width && LayoutLeft->width() == width)
        return;
    int total = 0;
    for (int s : sizes)
        total += s;
    Splitter1->setSizes({clamped, std::max(total - clamped, 1)});
    LayoutLeft->resize(clamped, LayoutLeft->height());
}

void TFormHelp::showNotFound() {
    const THelpTopics topics = helpNotFoundTopics();
    LIST_TOPIC = topics.titles;
    LIST_CONTENT = topics.contents;
    showTopics();
}

void TFormHelp::showTopics() {
    lbContent->clear();
    for (const QString& title : std::as_const(LIST_TOPIC)) {
        auto* item = new QListWidgetItem(title, lbContent);
        item->setSizeHint(QSize(0, 30));
        item->setToolTip(plainToolTip(title));
    }
    if (LIST_TOPIC.isEmpty())
        MemoText->clear(); // a file without topics must not leave the "not found" text standing
    else
        lbContent->setCurrentRow(0);
}

void TFormHelp::parseHelpFile() {
    THelpTopics topics;
    if (!readHelpFile(Ffile_help, topics)) {
        showNotFound();
        return;
    }
    LIST_TOPIC = topics.titles;
    LIST_CONTENT = topics.contents;
    showTopics();
}

void TFormHelp::lbContentChange() {
    const int row = lbContent->currentRow();
    if (row >= 0 && row < LIST_CONTENT.size())
        MemoText->setPlainText(LIST_CONTENT.at(row));
}
