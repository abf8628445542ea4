// The main window: creation and destruction sequences, options, layout rules, the general error report.
#include "main.h"

#include "const_sb.h"
#include "diagnosticLog.h"
#include "dorLanguage.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "formGeometry.h"
#include "form_log.h"
#include "safeCopy.h"
#include "sbWidgets.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <limits>

namespace {
// The window that receives the reports of copies that failed on their way to the disk.
TFormMain* copyReportWindow = nullptr;
} // namespace

TFormMain::TFormMain(IAudioEngine* audioEngine, QWidget* parent) : QMainWindow(parent), engine(audioEngine) {
    initSonabinResources();
    setObjectName(QStringLiteral("FormMain"));
    setStyleSheet(sonabinStyleSheet());
    setWindowIcon(QIcon(QStringLiteral(":/icons/sonabin.svg")));
    buildActions();
    buildUi();
    connectActions();
    connectSession();
    setAcceptDrops(true); // a folder or a track dropped on the window opens (main_desktop.cpp)
    // The design size and position; optionsLoad applies the stored geometry over it.
    resize(843, 535);
    move(0, 0);
    // Lay the hidden window out now, so that the panel widths read during start-up are real ones.
    layout()->activate();
    centralWidget()->layout()->activate();
    Splitter1->setSizes({369, 843 - 369 - Splitter1->handleWidth()});
    FormCreate();
}

TFormMain::~TFormMain() {
    FormDestroy();
}

void TFormMain::FormCreate() {
    addLogValue(QStringLiteral("FormCreate"), QString::fromLatin1(metaObject()->className()));
    LanguageEngine = new TLanguageEngine();
    LanguageEngine->setFolder(getProgramFolder(QStringLiteral("Lang")));

    {
        const QString path = getAppDataFolder(sb::settingsFolder, false) +
                             QFileInfo(getExeFileName()).completeBaseName() + QStringLiteral(".ini");
        addLog(QStringLiteral("Options file: ") + path);
        // A settings file that cannot be read, or a folder that cannot be made, is said once; the program
        // then runs on defaults and never writes over that file.
        SbText problem;
        optionsBase = TOptionsBase::openOrDefaults(path, &problem);
        if (!problem.english().isEmpty())
            reportError(this, SbError(problem));
    }

    initPlayer();
    initView();
    updateCaption();
    runGuarded([this] { optionsLoad(); });

    // A Like's copy reaches the disk after the Like; a late write error removes it and is reported here.
    copyReportWindow = this;
    setCopyDiskErrorHandler([this](const SbText& message) {
        QMetaObject::invokeMethod(
            this,
            [this, message] {
                session().copyWasRemoved();
                reportError(this, SbError(message));
            },
            Qt::QueuedConnection);
    });

    const qint32 stored = optionsBase->ReadInteger(QStringLiteral("common"), QStringLiteral("counter"), 0);
    runGuarded([this, stored] { initFolders(stored <= 0); });
    runGuarded([stored] {
        // Saturates rather than overflowing into a negative count, which would make every start a first run.
        optionsBase->counter = stored < std::numeric_limits<qint32>::max() ? stored + 1 : stored;
        optionsBase->WriteInteger(QStringLiteral("common"), QStringLiteral("counter"), optionsBase->counter);
        optionsBase->Save();
    });
    // Ended by the session while a start-up box was open: nothing is started that would only be cut off.
    if (!sessionEnding)
        runGuarded([this] { initStartFolderPlay(); });
    updateCaption();
}

void TFormMain::FormDestroy() {
    if (destroyed)
        return;
    destroyed = true;
    runGuarded([this] { optionsSave(); });
    waitForCopiesOnDisk(); // no Like's copy is left unsynced when the program ends
    // A late write error found by that wait was queued to this window: report it before the window goes.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (copyReportWindow == this) {
        setCopyDiskErrorHandler({});
        copyReportWindow = nullptr;
    }
    delete LanguageEngine;
    LanguageEngine = nullptr;
    freePlayer();
    freeMessWindow();
    if (optionsBase) {
        TOptionsBase* store = optionsBase;
        optionsBase = nullptr;
        delete store;
    }
}

void TFormMain::initView() {
    addLog(QStringLiteral("initView"));
    pnlPlayerResize();
}

void TFormMain::updateCaption() {
    // The application title; not the display name, which Qt would append to every window caption.
    QApplication::setApplicationName(sb::appTitle);
    setWindowTitle(sb::appCaption);
}

void TFormMain::optionsLoad() {
    addLog(QStringLiteral("optionsLoad"));
    loadForm(*optionsBase, this);
    loadWidth(*optionsBase, pnlPlayer);
    pnlPlayerResize();
    const QString common = QStringLiteral("common");
    collections().setBase(
        optionsBase->ReadString(common, QStringLiteral("folder_lib"), defaultLibraryBase()));
    currentFolder = optionsBase->ReadString(common, QStringLiteral("folder_curr"), QString());
    TSessionOptions& o = session().options();
    o.playNextAfterCopy = optionsBase->ReadBool(common, QStringLiteral("auto_play_next"), true);
    o.autoOffset = optionsBase->ReadBool(common, QStringLiteral("auto_offset"), false);
    o.randomPlay = optionsBase->ReadBool(common, QStringLiteral("random_play"), false);
    o.skipSorted = optionsBase->ReadBool(common, QStringLiteral("skip_sorted"), false);
    const QString t = QStringLiteral("True"), f = QStringLiteral("False");
    addLogValue(QStringLiteral("> load"),
                QStringLiteral("Form, Width, AutoNext: %1, AutoOffset: %2, Random: %3")
                    .arg(iif(o.playNextAfterCopy, t, f), iif(o.autoOffset, t, f), iif(o.randomPlay, t, f)));
    addLogValue(QStringLiteral("> folderLibraryBase"), collections().base());
    addLogValue(QStringLiteral("> currentFolder"), currentFolder);
    initLanguage();
}

void TFormMain::optionsSave() {
    addLogValue(QStringLiteral("optionsSave"), QStringLiteral("currentFolder: ") + currentFolder);
    saveForm(*optionsBase, this);
    saveWidth(*optionsBase, pnlPlayer);
    optionsBase->WriteString(QStringLiteral("common"), QStringLiteral("folder_curr"), currentFolder);
    optionsBase->Save();
}

QString TFormMain::defaultLibraryBase() {
    return TCollections::defaultBase();
}

void TFormMain::initStartFolderPlay() {
    const QString remembered = currentFolder;
    applyStartPath();
    // Go on where the user stopped: the scan starts that track rather than the first, if it is still there.
    // A folder or file named on the command line is not where the user stopped.
    const bool resume = optionsBase && currentFolder == remembered;
    if (currentFolder.isEmpty())
        currentFolder = getMusicFolder();
    addLogValue(QStringLiteral("initStartFolderPlay"), currentFolder);
    resumeTrack =
        resume ? optionsBase->ReadString(QStringLiteral("common"), QStringLiteral("file_curr"), QString())
               : QString();
    const auto once = qScopeGuard([this] { resumeTrack.clear(); });
    ScanFolder(currentFolder);
    preferredTrack.clear();
}

void TFormMain::LayoutToolsResize() {
    const bool wide = LayoutTools->width() > 600;
    struct Tool {
        QToolButton* button;
        const char* narrow;
        const char* withText;
        int width;
    };
    const Tool tools[] = {{button_about, "applybutton", "applybuttontext", 90},
                          {button_help, "helpbutton", "helpbuttontext", 70},
                          {button_options, "gearbutton", "gearbuttontext", 80}};
    for (const Tool& t : tools) {
        setStyleLookup(t.button, QLatin1String(wide ? t.withText : t.narrow));
        t.button->setToolButtonStyle(wide ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
        // The widths are minimums: a longer text ("Einstellungen") widens its button rather than be cut.
        t.button->setFixedWidth(wide ? std::max(t.width, t.button->sizeHint().width()) : 50);
    }
}

void TFormMain::pnlPlayerResize() {
    const int w = pnlPlayer->width();
    const int clamped = std::clamp(w, 330, 600);
    if (clamped != w) {
        QList<int> sizes = Splitter1->sizes();
        if (sizes.size() == 2) {
            const int total = sizes[0] + sizes[1];
            Splitter1->setSizes({clamped, std::max(0, total - clamped)});
        }
        if (pnlPlayer->width() != clamped)
            pnlPlayer->resize(clamped, pnlPlayer->height());
    }
    btnLib1->setFixedWidth(static_cast<int>(roundHalfEven(pnlCommandButtons->width() / 2.0)) - 5);
}

std::function<void(const QString&)> TFormMain::errorReportHook;
bool TFormMain::sessionEnding = false;

void TFormMain::runGuarded(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& e) {
        reportError(this, e);
    } catch (...) {
        reportError(this, SbError(SbText(sbmsg::unknownError)));
    }
}

QString TFormMain::messageText(const SbText& message) const {
    if (!LanguageEngine)
        return message.english();
    return message.toString(
        [this](const QString& key, const QString& english) { return LanguageEngine->getText(key, english); });
}

void TFormMain::reportError(QWidget* parent, const std::exception& e) {
    // The log keeps the English text; the user reads it in the chosen language of the main window the
    // report belongs to.
    addLogValue(QStringLiteral("> Error"), QString::fromUtf8(e.what()));
    QString text = QString::fromUtf8(e.what());
    if (const auto* error = dynamic_cast<const SbError*>(&e)) {
        const TFormMain* owner = nullptr;
        for (QWidget* w = parent; w && !owner; w = w->parentWidget())
            owner = qobject_cast<const TFormMain*>(w);
        text = owner ? owner->messageText(error->message()) : error->message().english();
    }
    if (errorReportHook) {
        errorReportHook(text);
        return;
    }
    if (sessionEnding) {
        std::fprintf(stderr, "sonabin: %s\n", text.toLocal8Bit().constData());
        return;
    }
    QMessageBox box(QMessageBox::Critical, sb::appTitle, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText); // a file name is shown as it is, even one that looks like markup
    box.exec();
}

void TFormMain::connectActions() {
    // Every handler runs as one user action: an error ends it and is reported, and the program goes on.
    auto bind = [this](QAction* action, void (TFormMain::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); });
    };
    bind(actopenFolder, &TFormMain::actopenFolderExecute);
    bind(actPlay, &TFormMain::actPlayExecute);
    bind(actNext, &TFormMain::actNextExecute);
    bind(actPrev, &TFormMain::actPrevExecute);
    bind(actRewind, &TFormMain::actRewindExecute);
    bind(actForward, &TFormMain::actForwardExecute);
    bind(actStop, &TFormMain::actStopExecute);
    bind(actPause, &TFormMain::actPauseExecute);
    bind(actPlayPause, &TFormMain::actPlayPauseExecute);
    bind(actCommand1, &TFormMain::actCommand1Execute);
    bind(actCommand2, &TFormMain::actCommand2Execute);
    bind(actCreateNewLib, &TFormMain::actCreateNewLibExecute);
    bind(actDelFromLib, &TFormMain::actDelFromLibExecute);
    bind(actOptions, &TFormMain::actOptionsExecute);
    bind(actHelp, &TFormMain::actHelpExecute);
    bind(actAbout, &TFormMain::actAboutExecute);
    bind(actLog, &TFormMain::actLogExecute);
    bind(Action1, &TFormMain::Action1Execute);
    bind(actUndoLike, &TFormMain::actUndoLikeExecute);

    connect(TimerLongClick, &QTimer::timeout, this,
            [this] { runGuarded([this] { TimerLongClickTimer(); }); });
    for (QToolButton* b : {btnLib1, btnLib2}) {
        connect(b, &QWidget::customContextMenuRequested, this, [this, b](const QPoint& pos) {
            runGuarded([this, b, pos] {
                PM_LIBSTag = b->property("tag").toInt();
                PM_LIBSPopup(PM_LIBS); // a popup that cannot be rebuilt is not shown with stale entries
                PM_LIBS->popup(b->mapToGlobal(pos));
            });
        });
    }
}

void TFormMain::actLogExecute() {
    showLogWindow();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        if (watched == LayoutTools)
            LayoutToolsResize();
        else if (watched == pnlPlayer || watched == pnlCommandButtons)
            pnlPlayerResize();
    } else if (event->type() == QEvent::MouseButtonPress && (watched == btnLib1 || watched == btnLib2)) {
        auto* button = static_cast<QToolButton*>(watched);
        if (button->isEnabled())
            runGuarded([this, button] { btnLib1MouseDown(button); });
    } else if (event->type() == QEvent::MouseButtonRelease && (watched == btnLib1 || watched == btnLib2)) {
        btnLib1MouseUp(static_cast<QToolButton*>(watched));
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // The log window may be open; closing the main window ends the program all the same.
    if (TFormLog* log = logWindow())
        log->hide();
    QMainWindow::closeEvent(event);
}
