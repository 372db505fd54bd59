// The commands of the main window, one QAction each, named after the command.
// This is the one place that creates them; the window's menus, toolbar and
// buttons only trigger them.
#pragma once

class QAction;
class QFileDialog;
class QWidget;

struct TFormMainActions {
    QAction *ActionTessivar = nullptr;     // the compaction (F5)
    QAction *FileOpenSourceMdb = nullptr;  // browse for the source database
    QAction *FileOpenTargetMdb = nullptr;  // browse for the target database
    QAction *ActionHelpShow = nullptr;     // help contents
};

// Creates the commands as children of `owner` and adds them to it, so their
// shortcuts work wherever the focus is in the window.
TFormMainActions CreateFormMainActions(QWidget *owner);

// The file dialogs that the two browse commands own for the window's life.
struct TFormMainDialogs {
    QFileDialog *FileOpenSourceMdbDialog = nullptr;  // open: the file must exist
    QFileDialog *FileOpenTargetMdbDialog = nullptr;  // save
};

TFormMainDialogs CreateFormMainDialogs(QWidget *owner);
