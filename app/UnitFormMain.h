// The main window's controller: the job lives in the window's controls, and
// the commands move it between the controls and TProjectFile, check it, and
// run the compaction.
#pragma once

#include "app/ActionManager.h"
#include "app/FormMainActions.h"
#include "app/ProjectFile.h"
#include "forms/FormMainLayout.h"

#include <QMainWindow>

#include <functional>

class QFileDialog;
class QGroupBox;
class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QToolBar;
class QToolButton;
class THintTracker;

// How the last run of the compaction command ended.
enum class TCompactionOutcome {
    None,           // not run yet
    InputRejected,  // the source file was missing; nothing else happened
    Failed,         // the engine (or building its call) failed; the warning was shown
    Succeeded,      // the compacted copy was written
};

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget *parent = nullptr);
    ~TFormMain() override;

    // The settings file the job was last opened from or saved to. Writing
    // retitles the window; a value with a control character, '"', '<', '>'
    // or '|' is stored, then raises EArgumentException and leaves the caption.
    QString ProjectFileName() const { return FProjectFileName; }
    void SetProjectFileName(const QString &value);

    // Read: list index 0 is 4, 1 is 5, anything else 4. Write: checks first
    // (EArgumentException "EngineTypeが不正な値です。", list unchanged).
    std::int32_t EngineType() const;
    void SetEngineType(std::int32_t value);

    TProjectFile ControlsToProjectFile() const;
    // Writes the four edits, then the engine type (which may throw, leaving
    // list and check box as they were), then the check box.
    void ProjectFileToControls(TProjectFile projectFile);
    void NewProject();
    // True when the source file exists; otherwise warns and returns false.
    bool ValidateInput();

    // The compaction command; sender may be null (unattended start).
    void ActionTessivarExecute(QObject *sender);
    void FileOpenSourceMdbBeforeExecute(QObject *sender);
    void FileOpenSourceMdbAccept(QObject *sender);
    void FileOpenTargetMdbBeforeExecute(QObject *sender);
    void FileOpenTargetMdbAccept(QObject *sender);
    void ActionHelpShowExecute(QObject *sender);
    // The about box, modal over the window.
    void ActionHelpVersionExecute(QObject *sender);
    // Presets a browse dialog: file name and folder of an existing file, else none.
    void PrepareFileDialog(const QString &path, TFileDialog *dialog);

    // The settings-file commands (New, Open, Save As) and the batch-file
    // command. The dialog commands run their dialog themselves: the before
    // step may preset it, the accept step runs only after the user accepted
    // a file name and reads it from the dialog's FileName().
    void ActionFileNewExecute(QObject *sender);
    void ActionFileOpenAccept(QObject *sender);
    void ActionFileSaveAsBeforeExecute(QObject *sender);
    void ActionFileSaveAsAccept(QObject *sender);
    // Shows the job of a settings file and remembers its name; errors leave
    // the command for the application-wide handler.
    void OpenProjectFile(const QString &fileName);
    // Saves the window's job into the file (keeping the file's other
    // content) and remembers its name; false after an error, which has been
    // shown in the warning box.
    bool SaveProjectFileAs(const QString &fileName);
    void ActionFileCreateBatAccept(QObject *sender);
    // Writes the job the window shows into a batch file of that name.
    void CreateBatFile(const QString &fileName);

    // The unattended start: applies the process arguments, runs the
    // compaction when they ask for it.
    void RunCommandLine();
    // The one-shot idle handler installed by FormCreate.
    void ApplicationIdle(QObject *sender, bool &done);

    TCompactionOutcome LastCompactionOutcome() const { return FLastCompactionOutcome; }
    // True once the compaction command has closed the window (auto-exit).
    bool ClosedByAutoExit() const { return FClosedByAutoExit; }

    // Runs a file dialog of any command modally, once it is set up; true when
    // the user accepted a file. Tests and other front ends replace it; an
    // empty runner shows the dialog.
    using FileDialogRunner = std::function<bool(QFileDialog *dialog)>;
    void SetFileDialogRunner(FileDialogRunner runner);

    // The controls, commands and dialogs, by their names.
    QToolBar *ActionToolBar1;
    QLineEdit *EditSourceMdbPath;
    QToolButton *SpeedButton1;
    QLineEdit *EditSourceMdbPassword;
    QLineEdit *EditTargetMdbPath;
    QToolButton *SpeedButton2;
    QLabel *Label1;
    QLineEdit *EditTargetMdbPassword;
    QComboBox *ComboBoxEngineType;
    QGroupBox *GroupBox1;
    QCheckBox *CheckBoxOptionAutoExit;
    QPushButton *BitBtn1;
    QStatusBar *StatusBar1;
    QMenuBar *MainMenu1;
    TActionManager *ActionManager1;
    QAction *ActionTessivar;
    TFileDialogAction *FileOpenSourceMdb;
    TFileDialogAction *FileOpenTargetMdb;
    QAction *ActionFileNew;
    TFileDialogAction *ActionFileOpen;
    TFileDialogAction *ActionFileSaveAs;
    TFileDialogAction *ActionFileCreateBat;
    QAction *ActionHelpVersion;
    QAction *ActionHelpShow;
    TFileDialog *FileOpenSourceMdbDialog;
    TFileDialog *FileOpenTargetMdbDialog;
    TFileDialog *ActionFileOpenDialog;
    TFileDialog *ActionFileSaveAsDialog;
    TFileDialog *ActionFileCreateBatDialog;
    // Shows hints of the control under the pointer and of menu items in the
    // status bar.
    THintTracker *HintTracker;
    // The status bar's permanent section beside the command's text: the
    // result of the last compaction (sizes, saving, time; the full figures
    // in its tooltip), or that it failed. Empty until one ran.
    QLabel *StatusBarResult;
    // The engine's progress, in the status bar while the engine call runs;
    // null at any other time.
    QProgressBar *CompactionProgressBar() const { return FProgressBar; }

signals:
    // The first idle processing after the window was shown is over.
    void FirstIdleDone();
    // The engine reported progress (0..100) during a compaction.
    void CompactionProgress(int percent);

private:
    void FormCreate();
    void ConnectActions();
    void CompactJob();
    void ShowCompactionProgress(int percent);
    void ShowCompactionResult(const QString &text, const QString &toolTip);

    QString FProjectFileName;
    TCompactionOutcome FLastCompactionOutcome = TCompactionOutcome::None;
    bool FClosedByAutoExit = false;
    int FShownPercent = -1;
    QProgressBar *FProgressBar = nullptr;
};

// The text after the last backslash, slash or colon (the caption shows it).
QString CaptionFileName(const QString &path);

// The folder a browse dialog opens in for an existing file: the path up to
// its last "/", without it unless it is the root's.
QString FileDialogFolder(const QString &path);

// Where the help contents are: "help/index.html" beside the executable, or
// in the installed share folder when only that exists.
QString HelpFileForExecutable(const QString &executablePath);
