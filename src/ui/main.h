#pragma once
// The main window. Its methods are split by concern over several files:
//   main.cpp              creation and destruction sequences, options, layout rules, error report
//   main_ui.cpp           building the controls and the action table
//   main_language.cpp     initLanguage and the source-file scan
//   main_tracklist.cpp    folder scanning and the track list
//   main_playback.cpp     the player and the playback actions
//   main_collections.cpp  collections and the Like action
//   main_dialogs.cpp      the notification popup, options, help and about dialogs
//   main_desktop.cpp      opening a folder or file from outside: command line, open request, drag and drop
//   main_sorting.cpp      taking a Like back, going on at the remembered track, the sorted marks and
//                         skipping sorted tracks
#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <exception>
#include <functional>
#include <memory>

#include "form_message.h" // TDialogMessType
#include "sortingSession.h"

class QAction;
class QFrame;
class QLabel;
class QListView;
class QMenu;
class QMimeData;
class QDragEnterEvent;
class QDropEvent;
class QProgressBar;
class QSlider;
class QSplitter;
class QTimer;
class QToolButton;
class QWidget;

class IAudioEngine;
class SbText;
class TBassPlayer;
class TLanguageEngine;
class TFormMessage;
class TPlayList;

class TFormMain : public QMainWindow {
    Q_OBJECT
    friend class TFormMainTestAccess;
    // The window's face on the desktop bus runs the window's own actions.
    friend class TFormMainRemote;

public:
    // `engine` is for tests: when null the real audio engine is created and owned.
    explicit TFormMain(IAudioEngine* engine = nullptr, QWidget* parent = nullptr);
    ~TFormMain() override;

    QString prefixLanguege() const { return FprefixLanguege; }

    // The player, the collections, the Likes to take back, the sorted marks and the session options: the
    // window shows them and asks for their operations.
    TSortingSession& session() { return FSession; }
    const TSortingSession& session() const { return FSession; }

    // --- start-up, options and layout (main.cpp) ---
    void initPlayer();
    void initView();
    void updateCaption();
    void optionsLoad();
    void optionsSave();
    void initStartFolderPlay();
    void LayoutToolsResize();
    void pnlPlayerResize();
    // Runs `step` as one user action: an exception ends it and is shown in a message box.
    void runGuarded(const std::function<void()>& step);
    // An SbError is shown in the language of the main window that `parent` belongs to (or is).
    static void reportError(QWidget* parent, const std::exception& e);
    // A core message (SbText) in the chosen language.
    QString messageText(const SbText& message) const;
    // Called when the session ends the program (SIGTERM, SIGINT, SIGHUP): from then on an error goes to
    // stderr, since nobody may be there to answer a message box.
    static void setSessionEnding() { sessionEnding = true; }
    static bool isSessionEnding() { return sessionEnding; }
    // The base folder used when none is set: ~/Sonabin.
    static QString defaultLibraryBase();

    // --- language (main_language.cpp) ---
    void initLanguage();
    void Action1Execute();

    // --- folder scanning and track list (main_tracklist.cpp) ---
    void setupTrackList();
    void ScanFolder(const QString& folder);
    // `folderName`: a folder entry's real name (".." for the parent entry), which its title cannot give back.
    void addTrackItem(const QString& title, const QString& subtitle, const QString& description,
                      bool isFolder, const QString& folderName = QString());
    void selectFirstTrack();
    void showFolderInfo(bool found);
    int getTrackIndexByName(const QString& file);
    void updateProgress(int index);
    void lbTracklistChange();
    void lbTracklistDblClick();
    void actopenFolderExecute();

    // --- playback (main_playback.cpp) ---
    void playTrack(const QString& path);
    void onPlayerTimer(TBassPlayer* sender);
    // The track ended or did not open: the next one starts (the previous one, `backward`).
    void onPlayerComplete(bool backward);
    // The session started `path`: the labels, the bar and the list follow.
    void onTrackStarted(const QString& path);
    void TrackBar1Change();
    void actPlayExecute();
    void actPauseExecute();
    void actPlayPauseExecute();
    void actStopExecute();
    void actNextExecute();
    void actPrevExecute();
    void actRewindExecute();
    void actForwardExecute();

    // --- collections and notices (main_collections.cpp) ---
    // The base folder, the buttons' collections and what a Like does there.
    TCollections& collections() { return FSession.collections(); }
    const TCollections& collections() const { return FSession.collections(); }
    void initFolders(bool reset);
    void updateButtons();
    void runLike(const QString& sFile, const QString& sLib);
    bool isTrackInLibrary(const QString& sFile, const QString& sLib);
    qint32 checkLongClick();
    void btnLib1MouseDown(QToolButton* sender);
    // A mouse button released on a Like button: a long press not yet decided is cancelled.
    void btnLib1MouseUp(QToolButton* sender);
    void TimerLongClickTimer();
    // Rebuilds the popup's entries; called right before each opening. Throws SbError when the base folder
    // cannot be listed, and the popup then stays closed.
    void PM_LIBSPopup(QMenu* sender);
    void onLibraryMenuClick(QAction* entry);
    void actCommand1Execute();
    void actCommand2Execute();
    void actCreateNewLibExecute();
    void actDelFromLibExecute();

    // --- sorting without losing the place (main_sorting.cpp) ---
    void actUndoLikeExecute();
    // Enables the take-back while a Like is left to take back.
    void updateUndoLike();
    // A Like taken back: its track plays again from its start, to be judged again.
    void onTakenBack(const TTakeBack& done);
    // Remembers the track that started, for the next start of the program (settings key file_curr).
    void rememberTrack(const QString& file);
    // Plays the track entry at `row` from its start, whether or not it is the selected entry already.
    void playRowAgain(int row);
    // Binds the index to the buttons' collections, listing a collection only when its binding changed;
    // with `relist`, lists both again (once per folder scan).
    void updateSortedIndex(bool relist);
    // A file `name` went into, or left, the collection folder `folder`: the marks follow without a listing.
    void noteSorted(const QString& folder, const QString& name, bool present);
    // True for a track entry whose file is in either bound collection.
    bool isSortedRow(int row) const;

    // --- notices and dialogs (main_dialogs.cpp) ---
    void showInfo(const QString& title, const QString& message, TDialogMessType kind);
    void actOptionsExecute();
    void actHelpExecute();
    void actAboutExecute();
    void actLogExecute();

    // --- opening from outside the window (main_desktop.cpp) ---
    // A folder or track named on the command line; set before the window is created, it replaces the
    // remembered folder for this start.
    static void setStartPath(const QString& path) { startPath = path; }
    // Opens a folder, or a track's folder playing that track. False (nothing changes) for a path that
    // names neither.
    bool openPath(const QString& path);
    // The folder or track a drop would open; empty when the drop is refused.
    static QString droppedPath(const QMimeData* data);
    bool isCommandWindowActive() const { return isActiveWindow() || desktopCommandDepth > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void buildUi();
    void buildActions();
    QAction* makeAction(const char* name, const QString& text, const QString& hint, const QKeySequence& key);
    void connectActions();
    void freePlayer();     // main_playback.cpp
    void freeMessWindow(); // main_dialogs.cpp
    void applyStartPath(); // main_desktop.cpp
    // The position bar and the play/pause picture follow the player (main_playback.cpp).
    void setBarMaximum();
    // Shows `bytes` on the bar without seeking there.
    void showBarPosition(qint64 bytes);
    void showPlayImage(bool playing);

    void connectSession(); // main_playback.cpp
    // The track that the next folder scan starts instead of the first one (a bare file name).
    QString preferredTrack;

    // Owned when the window made the real engine itself (shared_ptr: IAudioEngine is incomplete here).
    std::shared_ptr<IAudioEngine> ownedEngine;
    IAudioEngine* engine = nullptr;
    // After the engine: the session's player releases it when it goes.
    TSortingSession FSession;
    bool destroyed = false;
    // The session is moving the list's selection: the change handler must not start the track again.
    bool followingSession = false;
    bool qtLanguageApplied = false; // Qt's own texts were put into a language once

    // When set, the error report calls this instead of showing a message box (tests).
    static std::function<void(const QString&)> errorReportHook;
    static bool sessionEnding;
    static QString startPath;

    // The window's own state and its controls. Tests reach them through TFormMainTestAccess
    // (tests/support/formMainAccess.h).
    // --- fields, in the documented order ---
    QString currentFile;
    QString currentFolder;
    QString FprefixLanguege;
    TFormMessage* messWindow = nullptr;
    qint32 mouse_hash_1 = 0;
    TLanguageEngine* LanguageEngine = nullptr;

    // --- controls (object names as in the layout) ---
    QSplitter* Splitter1 = nullptr;
    QFrame* pnlPlayer = nullptr;
    QToolButton* btnFolder = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lblCurrFolder = nullptr;
    QLabel* lblFolder = nullptr;
    QWidget* gridProgress = nullptr;
    QLabel* lblProgress = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QFrame* pnlCommandButtons = nullptr;
    QToolButton* btnLib1 = nullptr;
    QToolButton* btnLib2 = nullptr;
    QLabel* lbl_1_like = nullptr;
    QLabel* lbl_1_collection = nullptr;
    QLabel* lbl_1_count = nullptr;
    QLabel* lbl_2_like = nullptr;
    QLabel* lbl_2_Collection = nullptr;
    QLabel* lbl_2_Count = nullptr;
    QWidget* gridCurrFile = nullptr;
    QLabel* Image4 = nullptr;
    QLabel* lblCurrentFile = nullptr;
    QLabel* lblTime = nullptr;
    QSlider* TrackBar1 = nullptr;
    QFrame* PanelPlayer = nullptr;
    QToolButton* btnPrev = nullptr;
    QToolButton* btnRewind = nullptr;
    QToolButton* btnPlay = nullptr;
    QLabel* imgPlay = nullptr;
    QLabel* imgPause = nullptr;
    QToolButton* btnForward = nullptr;
    QToolButton* btnNext = nullptr;
    QLabel* imgMusic = nullptr;
    QLabel* imgFolder = nullptr;
    QFrame* pnlList = nullptr;
    QWidget* LayoutTools = nullptr;
    QToolButton* button_options = nullptr;
    QToolButton* button_help = nullptr;
    QToolButton* button_about = nullptr;
    QWidget* Layout3 = nullptr;
    QLabel* lbl_fm_1 = nullptr;
    QLabel* lbl_fm_2 = nullptr;
    QListView* lbTracklist = nullptr;
    TPlayList* trackModel = nullptr; // the play list, which lbTracklist shows
    QMenu* PM_LIBS = nullptr;
    QTimer* TimerLongClick = nullptr;

    // Integer tags of the controls that carry one.
    int TrackBar1Tag = 1; // seek guard: 0 while playing, 1 otherwise
    int PM_LIBSTag = 0;   // which Like button the popup serves
    int TimerLongClickTag = 0;

    // --- the action table ---
    QAction* actopenFolder = nullptr;
    QAction* actPlay = nullptr;
    QAction* actNext = nullptr;
    QAction* actPrev = nullptr;
    QAction* actRewind = nullptr;
    QAction* actForward = nullptr;
    QAction* actStop = nullptr;
    QAction* actPause = nullptr;
    QAction* actPlayPause = nullptr;
    QAction* actCommand1 = nullptr;
    QAction* actCommand2 = nullptr;
    QAction* actCreateNewLib = nullptr;
    QAction* actDelFromLib = nullptr;
    QAction* actOptions = nullptr;
    QAction* actHelp = nullptr;
    QAction* actAbout = nullptr;
    QAction* actFolderEmpty = nullptr;
    QAction* actLog = nullptr;
    QAction* Action1 = nullptr;
    // Ctrl+Z: takes back this run's newest Like that made a copy; enabled while there is one.
    QAction* actUndoLike = nullptr;

    // Set by initStartFolderPlay: the track the next selectFirstTrack prefers to the first one.
    QString resumeTrack;
    // Commands from the desktop (media keys, applets) act as if the window were active: a media key is
    // pressed while another window has the focus.
    int desktopCommandDepth = 0;
};
