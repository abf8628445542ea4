#pragma once
// The one way for tests and benches into the main window's private state and controls: each member
// appears here as a reference of the same name, e.g. sbt::parts(w).btnLib1->click().
#include "formMainAccess.h"
#include "main.h"

#include <functional>
#include <memory>

class TFormMainTestAccess {
public:
    explicit TFormMainTestAccess(TFormMain& window) : w(window) {}

private:
    TFormMain& w;

public:
    static std::function<void(const QString&)>& errorReportHook() { return TFormMain::errorReportHook; }

    decltype(TFormMain::currentFile)& currentFile = w.currentFile;
    decltype(TFormMain::currentFolder)& currentFolder = w.currentFolder;
    decltype(TFormMain::messWindow)& messWindow = w.messWindow;
    decltype(TFormMain::LanguageEngine)& LanguageEngine = w.LanguageEngine;
    decltype(TFormMain::Splitter1)& Splitter1 = w.Splitter1;
    decltype(TFormMain::pnlPlayer)& pnlPlayer = w.pnlPlayer;
    decltype(TFormMain::btnFolder)& btnFolder = w.btnFolder;
    decltype(TFormMain::lblCurrFolder)& lblCurrFolder = w.lblCurrFolder;
    decltype(TFormMain::lblFolder)& lblFolder = w.lblFolder;
    decltype(TFormMain::lblProgress)& lblProgress = w.lblProgress;
    decltype(TFormMain::ProgressBar1)& ProgressBar1 = w.ProgressBar1;
    decltype(TFormMain::pnlCommandButtons)& pnlCommandButtons = w.pnlCommandButtons;
    decltype(TFormMain::btnLib1)& btnLib1 = w.btnLib1;
    decltype(TFormMain::btnLib2)& btnLib2 = w.btnLib2;
    decltype(TFormMain::lbl_1_like)& lbl_1_like = w.lbl_1_like;
    decltype(TFormMain::lbl_1_collection)& lbl_1_collection = w.lbl_1_collection;
    decltype(TFormMain::lbl_1_count)& lbl_1_count = w.lbl_1_count;
    decltype(TFormMain::lbl_2_like)& lbl_2_like = w.lbl_2_like;
    decltype(TFormMain::lbl_2_Collection)& lbl_2_Collection = w.lbl_2_Collection;
    decltype(TFormMain::lbl_2_Count)& lbl_2_Count = w.lbl_2_Count;
    decltype(TFormMain::lblCurrentFile)& lblCurrentFile = w.lblCurrentFile;
    decltype(TFormMain::lblTime)& lblTime = w.lblTime;
    decltype(TFormMain::TrackBar1)& TrackBar1 = w.TrackBar1;
    decltype(TFormMain::btnPrev)& btnPrev = w.btnPrev;
    decltype(TFormMain::btnRewind)& btnRewind = w.btnRewind;
    decltype(TFormMain::btnPlay)& btnPlay = w.btnPlay;
    decltype(TFormMain::imgPlay)& imgPlay = w.imgPlay;
    decltype(TFormMain::imgPause)& imgPause = w.imgPause;
    decltype(TFormMain::btnForward)& btnForward = w.btnForward;
    decltype(TFormMain::btnNext)& btnNext = w.btnNext;
    decltype(TFormMain::LayoutTools)& LayoutTools = w.LayoutTools;
    decltype(TFormMain::button_options)& button_options = w.button_options;
    decltype(TFormMain::button_help)& button_help = w.button_help;
    decltype(TFormMain::button_about)& button_about = w.button_about;
    decltype(TFormMain::lbl_fm_1)& lbl_fm_1 = w.lbl_fm_1;
    decltype(TFormMain::lbl_fm_2)& lbl_fm_2 = w.lbl_fm_2;
    decltype(TFormMain::lbTracklist)& lbTracklist = w.lbTracklist;
    decltype(TFormMain::trackModel)& trackModel = w.trackModel;
    decltype(TFormMain::PM_LIBS)& PM_LIBS = w.PM_LIBS;
    decltype(TFormMain::TimerLongClick)& TimerLongClick = w.TimerLongClick;
    decltype(TFormMain::TrackBar1Tag)& TrackBar1Tag = w.TrackBar1Tag;
    decltype(TFormMain::PM_LIBSTag)& PM_LIBSTag = w.PM_LIBSTag;
    decltype(TFormMain::TimerLongClickTag)& TimerLongClickTag = w.TimerLongClickTag;
    decltype(TFormMain::actopenFolder)& actopenFolder = w.actopenFolder;
    decltype(TFormMain::actPlay)& actPlay = w.actPlay;
    decltype(TFormMain::actNext)& actNext = w.actNext;
    decltype(TFormMain::actPrev)& actPrev = w.actPrev;
    decltype(TFormMain::actRewind)& actRewind = w.actRewind;
    decltype(TFormMain::actForward)& actForward = w.actForward;
    decltype(TFormMain::actStop)& actStop = w.actStop;
    decltype(TFormMain::actPause)& actPause = w.actPause;
    decltype(TFormMain::actPlayPause)& actPlayPause = w.actPlayPause;
    decltype(TFormMain::actCommand1)& actCommand1 = w.actCommand1;
    decltype(TFormMain::actCommand2)& actCommand2 = w.actCommand2;
    decltype(TFormMain::actCreateNewLib)& actCreateNewLib = w.actCreateNewLib;
    decltype(TFormMain::actDelFromLib)& actDelFromLib = w.actDelFromLib;
    decltype(TFormMain::actOptions)& actOptions = w.actOptions;
    decltype(TFormMain::actHelp)& actHelp = w.actHelp;
    decltype(TFormMain::actAbout)& actAbout = w.actAbout;
    decltype(TFormMain::actLog)& actLog = w.actLog;
    decltype(TFormMain::actUndoLike)& actUndoLike = w.actUndoLike;
};

namespace sbt {
inline TFormMainTestAccess parts(TFormMain& w) {
    return TFormMainTestAccess(w);
}
inline TFormMainTestAccess parts(TFormMain* w) {
    return TFormMainTestAccess(*w);
}
inline TFormMainTestAccess parts(const std::unique_ptr<TFormMain>& w) {
    return TFormMainTestAccess(*w);
}
} // namespace sbt
