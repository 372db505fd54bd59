// The commands of the main window as the window holds them: the command
// manager that builds all nine from the command table (app/ActionManager.h),
// and a pointer to each by its name.
#pragma once

class QAction;
class QWidget;
class TActionManager;
class TFileDialogAction;

struct TFormMainActions {
    TActionManager *ActionManager1 = nullptr;
    QAction *ActionTessivar = nullptr;                  // the compaction (F5)
    TFileDialogAction *FileOpenSourceMdb = nullptr;     // browse for the source database (Ctrl+P)
    TFileDialogAction *FileOpenTargetMdb = nullptr;     // browse for the target database (Ctrl+Q)
    QAction *ActionFileNew = nullptr;                   // new settings (Ctrl+N)
    TFileDialogAction *ActionFileOpen = nullptr;        // open a settings file (Ctrl+O)
    TFileDialogAction *ActionFileSaveAs = nullptr;      // save the settings file as (Ctrl+S)
    TFileDialogAction *ActionFileCreateBat = nullptr;   // write a batch file
    QAction *ActionHelpVersion = nullptr;               // the about box
    QAction *ActionHelpShow = nullptr;                  // help contents
};

// Creates the commands, owned by a command manager that is a child of
// `owner`, and adds them to `owner`, so their shortcuts work wherever the
// focus is in the window.
TFormMainActions CreateFormMainActions(QWidget *owner);
