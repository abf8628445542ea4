// Building the main window's controls and its action table.
#include "main.h"
#include "sbWidgets.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QSlider>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <utility>

namespace {

template <class T> T* named(T* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = named(new QLabel(text, parent), name);
    // What a label shows (a language's text, a folder or file name) is never read as markup.
    l->setTextFormat(Qt::PlainText);
    return l;
}

QLabel* image(QWidget* parent, const char* name, const QString& icon, int size) {
    auto* l = named(new QLabel(parent), name);
    l->setPixmap(QIcon(icon).pixmap(size, size));
    l->setAlignment(Qt::AlignCenter);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}

QToolButton* actionButton(QWidget* parent, const char* name, QAction* action, const QString& style) {
    auto* b = named(new QToolButton(parent), name);
    b->setDefaultAction(action);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setFocusPolicy(Qt::NoFocus);
    setStyleLookup(b, style);
    return b;
}

// Keeps a held key from re-running the actions that must run once per press. Qt marks a key's automatic
// repeats, but on X11 it tells them only by finding the repeat's press already queued behind its
// release; when the program is busy (a Like copies, the next track opens) the press comes later and
// passes for a new one. Both halves of a repeat carry the same server time, which a new press never does.
class TOneShotKeys : public QObject {
public:
    TOneShotKeys(QWidget* window, QList<QAction*> actions)
        : QObject(window), FWindow(window), FActions(std::move(actions)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (type == QEvent::KeyRelease) {
            if (!key->isAutoRepeat()) {
                FReleasedKey = key->key();
                FReleasedAt = key->timestamp();
            }
            return false;
        }
        // Time 0 means "not known" (synthetic events), never a repeat by itself.
        const bool repeat = key->isAutoRepeat() || (key->timestamp() != 0 && key->key() == FReleasedKey &&
                                                    key->timestamp() == FReleasedAt);
        if (!repeat || !isOurs(watched) || !isOneShot(key->keyCombination()))
            return false;
        // Claimed by the focus widget, the key triggers no shortcut; the press then goes nowhere.
        key->accept();
        return true;
    }

private:
    bool isOurs(QObject* watched) const {
        auto* widget = qobject_cast<QWidget*>(watched);
        return widget ? widget->window() == FWindow
                      : watched == static_cast<QObject*>(FWindow->windowHandle());
    }
    bool isOneShot(QKeyCombination combination) const {
        const QKeySequence pressed(combination);
        for (const QAction* action : FActions)
            if (action->isEnabled() && action->shortcuts().contains(pressed))
                return true;
        return false;
    }

    QWidget* FWindow;
    QList<QAction*> FActions;
    int FReleasedKey = 0;
    quint64 FReleasedAt = 0;
};

} // namespace

QAction* TFormMain::makeAction(const char* name, const QString& text, const QString& hint,
                               const QKeySequence& key) {
    auto* a = new QAction(text, this);
    a->setObjectName(QLatin1String(name));
    setActionHint(a, hint);
    if (!key.isEmpty())
        a->setShortcut(key);
    // Shortcuts work anywhere in the main window, whatever control has the focus.
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
    return a;
}

void TFormMain::buildActions() {
    actopenFolder = makeAction("actopenFolder", QString(), QStringLiteral("Open Folder"),
                               QKeySequence(QStringLiteral("Ctrl+O")));
    actPlay = makeAction("actPlay", QString(), QStringLiteral("Play"), QKeySequence(Qt::Key_Return));
    // The keypad's Enter plays too.
    actPlay->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    actNext = makeAction("actNext", QString(), QStringLiteral("Next track"), QKeySequence(Qt::Key_F8));
    actPrev = makeAction("actPrev", QString(), QStringLiteral("Previous track"), QKeySequence(Qt::Key_F5));
    actRewind = makeAction("actRewind", QString(), QStringLiteral("Rewind"), QKeySequence(Qt::Key_F6));
    actForward = makeAction("actForward", QString(), QStringLiteral("Forward"), QKeySequence(Qt::Key_F7));
    actStop = makeAction("actStop", QString(), QStringLiteral("Stop"), QKeySequence());
    actPause = makeAction("actPause", QStringLiteral("Stop"), QStringLiteral("Pause"), QKeySequence());
    actPlayPause =
        makeAction("actPlayPause", QString(), QStringLiteral("Play / Pause"), QKeySequence(Qt::Key_Escape));
    actCommand1 = makeAction("actCommand1", QString(), QStringLiteral("I Like!"), QKeySequence(Qt::Key_F1));
    actCommand2 = makeAction("actCommand2", QString(), QStringLiteral("I Like!"), QKeySequence(Qt::Key_F2));
    actCreateNewLib = makeAction("actCreateNewLib", QStringLiteral("Create new folder"),
                                 QStringLiteral("Create new folder for collection"), QKeySequence());
    actDelFromLib = makeAction("actDelFromLib", QStringLiteral("Delete from collection"),
                               QStringLiteral("Delete track from collection"), QKeySequence());
    actOptions = makeAction("actOptions", QStringLiteral("Options"), QStringLiteral("Show program options"),
                            QKeySequence(Qt::Key_F12));
    actHelp = makeAction("actHelp", QStringLiteral("Help"), QStringLiteral("Show Help"), QKeySequence());
    actAbout =
        makeAction("actAbout", QStringLiteral("About"), QStringLiteral("About program"), QKeySequence());
    actFolderEmpty = makeAction("actFolderEmpty", QStringLiteral("Folder empty"),
                                QStringLiteral("Folder is empty"), QKeySequence());
    actLog = makeAction("actLog", QStringLiteral("Show Log"), QStringLiteral("Show log window"),
                        QKeySequence(QStringLiteral("Ctrl+F12")));
    Action1 = makeAction("Action1", QStringLiteral("Scan text res"), QString(),
                         QKeySequence(QStringLiteral("Ctrl+F11")));
    actUndoLike = makeAction("actUndoLike", QStringLiteral("Take back last Like"),
                             QStringLiteral("Take back the last Like: remove the copy it made"),
                             QKeySequence(QStringLiteral("Ctrl+Z")));
    actUndoLike->setEnabled(false);

    // A held key repeats its shortcut about 30 times a second. Seeking and Next/Previous may go on
    // repeating; a Like must not copy every track that flies past unheard, a take-back must take back one
    // Like, and a toggle must not flicker.
    const QList<QAction*> oneShots = {actCommand1, actCommand2, actUndoLike, actDelFromLib, actPlayPause};
    for (QAction* oneShot : oneShots)
        oneShot->setAutoRepeat(false);
    qApp->installEventFilter(new TOneShotKeys(this, oneShots));

    actPrev->setIcon(QIcon(QStringLiteral(":/icons/prev.svg")));
    actRewind->setIcon(QIcon(QStringLiteral(":/icons/rewind.svg")));
    actForward->setIcon(QIcon(QStringLiteral(":/icons/forward.svg")));
    actNext->setIcon(QIcon(QStringLiteral(":/icons/next.svg")));
    actOptions->setIcon(QIcon(QStringLiteral(":/icons/gear.svg")));
    actHelp->setIcon(QIcon(QStringLiteral(":/icons/help.svg")));
    actAbout->setIcon(QIcon(QStringLiteral(":/icons/about.svg")));
}

void TFormMain::buildUi() {
    auto* central = named(new QWidget(this), "centralWidget");
    setCentralWidget(central);
    auto* centralLayout = new QHBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);

    Splitter1 = named(new QSplitter(Qt::Horizontal, central), "Splitter1");
    Splitter1->setHandleWidth(8);
    Splitter1->setChildrenCollapsible(false);
    setStyleLookup(Splitter1, QStringLiteral("Panelplayer"));
    centralLayout->addWidget(Splitter1);

    // --- the player panel, left ---
    pnlPlayer = named(new QFrame(Splitter1), "pnlPlayer");
    setStyleLookup(pnlPlayer, QStringLiteral("Panelplayer"));
    pnlPlayer->setMinimumWidth(330);
    pnlPlayer->setMaximumWidth(600);
    auto* playerLayout = new QVBoxLayout(pnlPlayer);
    playerLayout->setContentsMargins(3, 3, 3, 3);
    playerLayout->setSpacing(0);

    btnFolder = actionButton(pnlPlayer, "btnFolder", actopenFolder, QStringLiteral("buttonFolder"));
    btnFolder->setFixedHeight(86);
    btnFolder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* folderLayout = new QHBoxLayout(btnFolder);
    folderLayout->setContentsMargins(5, 5, 5, 5);
    Image1 = image(btnFolder, "Image1", QStringLiteral(":/icons/folder.svg"), 48);
    Image1->setFixedWidth(64);
    folderLayout->addWidget(Image1);
    auto* folderText = new QVBoxLayout();
    lblCurrFolder = label(btnFolder, "lblCurrFolder", QStringLiteral("Folder:"));
    lblFolder = label(btnFolder, "lblFolder", QStringLiteral("..."));
    lblFolder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblCurrFolder->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblFolder->setAttribute(Qt::WA_TransparentForMouseEvents);
    folderText->addWidget(lblCurrFolder);
    folderText->addWidget(lblFolder, 1);
    folderLayout->addLayout(folderText, 1);
    playerLayout->addWidget(btnFolder);

    gridProgress = named(new QWidget(pnlPlayer), "gridProgress");
    gridProgress->setFixedHeight(37);
    auto* progressLayout = new QHBoxLayout(gridProgress);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    ProgressBar1 = named(new QProgressBar(gridProgress), "ProgressBar1");
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 0);
    ProgressBar1->setValue(0);
    ProgressBar1->setMaximum(1);
    progressLayout->addSpacing(5);
    progressLayout->addWidget(ProgressBar1, 1);
    progressLayout->addSpacing(5);
    lblProgress = label(gridProgress, "lblProgress", QStringLiteral("0/0 (0%)"));
    progressLayout->addWidget(lblProgress);
    playerLayout->addWidget(gridProgress);

    pnlCommandButtons = named(new QFrame(pnlPlayer), "pnlCommandButtons");
    setStyleLookup(pnlCommandButtons, QStringLiteral("Panelplayer"));
    pnlCommandButtons->setFixedHeight(120);
    auto* likeRow = new QHBoxLayout(pnlCommandButtons);
    likeRow->setContentsMargins(0, 0, 0, 0);
    likeRow->setSpacing(10);
    auto makeLike = [&](const char* name, QAction* action, const char* style, int tag, QLabel*& like,
                        const char* likeName, QLabel*& collection, const char* collectionName, QLabel*& count,
                        const char* countName) {
        QToolButton* b = actionButton(pnlCommandButtons, name, action, QLatin1String(style));
        b->setProperty("tag", tag);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        auto* col = new QVBoxLayout(b);
        col->setContentsMargins(4, 8, 4, 8);
        col->setSpacing(0);
        like = label(b, likeName, QStringLiteral("I Like!"));
        collection = label(b, collectionName, QStringLiteral("[Collection]"));
        count = label(b, countName, QStringLiteral("0"));
        for (QLabel* l : {like, collection, count}) {
            l->setAlignment(Qt::AlignCenter);
            // A press anywhere on the button reaches the button.
            l->setAttribute(Qt::WA_TransparentForMouseEvents);
            col->addWidget(l);
        }
        collection->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        col->insertStretch(1);
        col->insertStretch(3);
        b->installEventFilter(this);
        return b;
    };
    btnLib1 = makeLike("btnLib1", actCommand1, "myLikeButton1", 1, lbl_1_like, "lbl_1_like", lbl_1_collection,
                       "lbl_1_collection", lbl_1_count, "lbl_1_count");
    btnLib2 = makeLike("btnLib2", actCommand2, "myLikeButton2", 2, lbl_2_like, "lbl_2_like", lbl_2_Collection,
                       "lbl_2_Collection", lbl_2_Count, "lbl_2_Count");
    likeRow->addWidget(btnLib1);
    likeRow->addWidget(btnLib2, 1);
    playerLayout->addSpacing(4);
    playerLayout->addWidget(pnlCommandButtons);

    gridCurrFile = named(new QWidget(pnlPlayer), "gridCurrFile");
    gridCurrFile->setFixedHeight(72);
    auto* fileRow = new QHBoxLayout(gridCurrFile);
    fileRow->setContentsMargins(0, 0, 0, 0);
    Image4 = image(gridCurrFile, "Image4", QStringLiteral(":/icons/music-file.svg"), 36);
    Image4->setFixedWidth(40);
    lblCurrentFile = label(gridCurrFile, "lblCurrentFile", QStringLiteral("..."));
    lblCurrentFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblCurrentFile->setWordWrap(true);
    fileRow->addWidget(Image4);
    fileRow->addWidget(lblCurrentFile, 1);
    playerLayout->addWidget(gridCurrFile);

    playerLayout->addStretch(1);

    // Its text changes every second while playing: a fixed size keeps that from laying out the panel.
    lblTime =
        named(new TSteadyLabel(QStringLiteral("00:00:00"), {QStringLiteral("00:00 / 00:00")}, pnlPlayer),
              "lblTime");
    lblTime->setAlignment(Qt::AlignCenter);
    playerLayout->addWidget(lblTime, 0, Qt::AlignHCenter);

    TrackBar1 = named(new TPositionBar(Qt::Horizontal, pnlPlayer), "TrackBar1");
    TrackBar1->setFixedHeight(21); // 11 for the bar, 5 above and below
    TrackBar1->setRange(0, 0);
    TrackBar1->setFocusPolicy(Qt::NoFocus);
    TrackBar1->setAttribute(Qt::WA_OpaquePaintEvent); // likewise
    playerLayout->addWidget(TrackBar1);

    PanelPlayer = named(new QFrame(pnlPlayer), "PanelPlayer");
    setStyleLookup(PanelPlayer, QStringLiteral("panelButtons"));
    PanelPlayer->setFixedHeight(83);
    auto* buttonRow = new QHBoxLayout(PanelPlayer);
    buttonRow->setContentsMargins(5, 5, 5, 5);
    buttonRow->setSpacing(2);
    const QString player = QStringLiteral("buttonPlayer");
    btnPrev = actionButton(PanelPlayer, "btnPrev", actPrev, player);
    btnRewind = actionButton(PanelPlayer, "btnRewind", actRewind, player);
    btnPlay = actionButton(PanelPlayer, "btnPlay", actPlayPause, player);
    btnForward = actionButton(PanelPlayer, "btnForward", actForward, player);
    btnNext = actionButton(PanelPlayer, "btnNext", actNext, player);
    for (QToolButton* b : {btnPrev, btnRewind, btnForward, btnNext}) {
        b->setFixedWidth(64);
        b->setIconSize(QSize(28, 28));
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }
    btnPlay->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* playStack = new QHBoxLayout(btnPlay);
    playStack->setContentsMargins(0, 0, 0, 0);
    imgPlay = image(btnPlay, "imgPlay", QStringLiteral(":/icons/play.svg"), 48);
    imgPause = image(btnPlay, "imgPause", QStringLiteral(":/icons/pause.svg"), 48);
    playStack->addWidget(imgPlay);
    playStack->addWidget(imgPause);
    imgPause->setVisible(false);
    buttonRow->addWidget(btnPrev);
    buttonRow->addWidget(btnRewind);
    buttonRow->addWidget(btnPlay, 1);
    buttonRow->addWidget(btnForward);
    buttonRow->addWidget(btnNext);
    playerLayout->addWidget(PanelPlayer);

    // Pictures of the track list's entries; never shown themselves.
    imgMusic = image(pnlPlayer, "imgMusic", QStringLiteral(":/icons/headphones.svg"), 48);
    imgFolder = image(pnlPlayer, "imgFolder", QStringLiteral(":/icons/collection.svg"), 48);
    imgMusic->setVisible(false);
    imgFolder->setVisible(false);

    // --- the list panel, right ---
    pnlList = named(new QFrame(Splitter1), "pnlList");
    setStyleLookup(pnlList, QStringLiteral("Panelplayer"));
    auto* listLayout = new QVBoxLayout(pnlList);
    listLayout->setContentsMargins(5, 5, 5, 5);
    listLayout->setSpacing(4);

    LayoutTools = named(new QWidget(pnlList), "LayoutTools");
    LayoutTools->setFixedHeight(84);
    LayoutTools->installEventFilter(this);
    auto* toolsRow = new QHBoxLayout(LayoutTools);
    toolsRow->setContentsMargins(0, 0, 0, 0);
    toolsRow->setSpacing(10);
    Layout3 = named(new QWidget(LayoutTools), "Layout3");
    auto* headLayout = new QVBoxLayout(Layout3);
    headLayout->setContentsMargins(10, 10, 10, 10);
    lbl_fm_1 = label(Layout3, "lbl_fm_1", QStringLiteral("Folder"));
    setStyleLookup(lbl_fm_1, QStringLiteral("gridsubtitlelabel"));
    lbl_fm_2 = label(Layout3, "lbl_fm_2", QStringLiteral("Play current folder"));
    for (QLabel* l : {lbl_fm_1, lbl_fm_2}) {
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        l->setWordWrap(false);
    }
    headLayout->addWidget(lbl_fm_1);
    headLayout->addStretch(1);
    headLayout->addWidget(lbl_fm_2);
    toolsRow->addWidget(Layout3, 1);
    button_options = actionButton(LayoutTools, "button_options", actOptions, QStringLiteral("gearbutton"));
    button_help = actionButton(LayoutTools, "button_help", actHelp, QStringLiteral("helpbutton"));
    button_about = actionButton(LayoutTools, "button_about", actAbout, QStringLiteral("applybutton"));
    // Left to right: options, help, about; about sits at the right edge.
    for (QToolButton* b : {button_options, button_help, button_about}) {
        b->setFixedSize(50, 68);
        b->setIconSize(QSize(24, 24));
        toolsRow->addWidget(b);
    }
    listLayout->addWidget(LayoutTools);

    lbTracklist = named(new QListView(pnlList), "lbTracklist");
    lbTracklist->setSelectionMode(QAbstractItemView::SingleSelection);
    lbTracklist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lbTracklist->setUniformItemSizes(true);
    listLayout->addWidget(lbTracklist, 1);

    Splitter1->addWidget(pnlPlayer);
    Splitter1->addWidget(pnlList);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({369, 843 - 369 - 8});
    pnlPlayer->installEventFilter(this);
    pnlCommandButtons->installEventFilter(this);

    // Non-visual parts.
    PM_LIBS = named(new QMenu(this), "PM_LIBS");
    TimerLongClick = named(new QTimer(this), "TimerLongClick");
    TimerLongClick->setInterval(25);

    setupTrackList();
}
