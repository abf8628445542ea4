// The main window: creation and destruction sequences, options, layout rules, the general error report.
#include "main.h"

#include "const_sb.h"
#include "dorCopy.h"
#include "dorLanguage.h"
#include "dorLog.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "form_log.h"
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
        QString problem;
        optionsBase = TOptionsBase::openOrDefaults(path, &problem);
        if (!problem.isEmpty())
            reportError(this, SbError(problem));
    }

    initPlayer();
    initView();
    updateCaption();
    runGuarded([this] { optionsLoad(); });

    // A Like's copy reaches the disk after the Like; a late write error removes it and is reported here.
    copyReportWindow = this;
    setCopyDiskErrorHandler([this](const QString& message) {
        QMetaObject::invokeMethod(
            this,
            [this, message] {
                updateButtons();
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
    optionsBase->loadForm(this);
    optionsBase->loadWidth(pnlPlayer);
    pnlPlayerResize();
    const QString common = QStringLiteral("common");
    folderLibraryBase = optionsBase->ReadString(common, QStringLiteral("folder_lib"), defaultLibraryBase());
    currentFolder = optionsBase->ReadString(common, QStringLiteral("folder_curr"), QString());
    opt_play_next_after_copy = optionsBase->ReadBool(common, QStringLiteral("auto_play_next"), true);
    opt_auto_offset = optionsBase->ReadBool(common, QStringLiteral("auto_offset"), false);
    opt_random_play = optionsBase->ReadBool(common, QStringLiteral("random_play"), false);
    const QString t = QStringLiteral("True"), f = QStringLiteral("False");
    addLogValue(QStringLiteral("> load"),
                QStringLiteral("Form, Width, AutoNext: %1, AutoOffset: %2, Random: %3")
                    .arg(iif(opt_play_next_after_copy, t, f), iif(opt_auto_offset, t, f),
                         iif(opt_random_play, t, f)));
    addLogValue(QStringLiteral("> folderLibraryBase"), folderLibraryBase);
    addLogValue(QStringLiteral("> currentFolder"), currentFolder);
    initLanguage();
}

void TFormMain::optionsSave() {
    addLogValue(QStringLiteral("optionsSave"), QStringLiteral("currentFolder: ") + currentFolder);
    optionsBase->saveForm(this);
    optionsBase->saveWidth(pnlPlayer);
    optionsBase->WriteString(QStringLiteral("common"), QStringLiteral("folder_curr"), currentFolder);
    optionsBase->Save();
}

QString TFormMain::defaultLibraryBase() {
    return QDir::homePath() + pathDelim + sb::defaultLibraryFolderName;
}

void TFormMain::initStartFolderPlay() {
    if (currentFolder.isEmpty())
        currentFolder = getMusicFolder();
    addLogValue(QStringLiteral("initStartFolderPlay"), currentFolder);
    ScanFolder(currentFolder);
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
        t.button->setFixedWidth(wide ? t.width : 50);
        t.button->setToolButtonStyle(wide ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
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
        reportError(this, std::runtime_error("Unknown error"));
    }
}

void TFormMain::reportError(QWidget* parent, const std::exception& e) {
    const QString text = QString::fromUtf8(e.what());
    addLogValue(QStringLiteral("> Error"), text);
    if (errorReportHook) {
        errorReportHook(text);
        return;
    }
    if (sessionEnding) {
        std::fprintf(stderr, "sonabin: %s\n", text.toLocal8Bit().constData());
        return;
    }
    QMessageBox box(QMessageBox::Critical, sb::appTitle, text, QMessageBox::Ok, parent);
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
