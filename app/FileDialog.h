// The program's file dialog: Qt's own (not the desktop's) dialog, set up the
// way the commands describe theirs: a "|"-separated filter of description
// and pattern pairs, a default extension with its dot, a preset file name and
// initial folder, and the options "must exist", "ask before overwriting" and
// "ask before creating" (the last is not Qt's and is added here).
#pragma once

#include <QFileDialog>

#include <functional>

struct TFileDialogOptions {
    bool FileMustExist = false;
    bool OverwritePrompt = false;
    bool CreatePrompt = false;
};

// "A(*.X;*.Y)|*.X;*.Y|B(*.*)|*.*" as Qt name filters whose visible part is
// exactly the description: "A(*.X;*.Y) (*.X *.Y)", "B(*.*) (*)". "*.*"
// becomes "*", which on Linux also matches names without a dot.
QStringList QtNameFilters(const QString &filter);

class TFileDialog : public QFileDialog {
    Q_OBJECT
public:
    TFileDialog(QWidget *owner, AcceptMode mode, const TFileDialogOptions &options);

    void SetFilter(const QString &filter);
    QString Filter() const { return FFilter; }
    // 1-based, as the filter's pairs are counted.
    int FilterIndex() const { return FFilterIndex; }
    void SetFilterIndex(int index) { FFilterIndex = index; }
    // Stored with its leading dot (".MDB"); Qt appends it without the dot to
    // a typed name that has no dot at all.
    void SetDefaultExt(const QString &extension);
    QString DefaultExt() const { return FDefaultExt; }
    const TFileDialogOptions &Options() const { return FOptions; }

    // The name the dialog opens with and, after an accepted run, the name
    // the user chose. A cancelled run leaves both this and the filter as
    // they were.
    QString FileName() const { return FFileName; }
    void SetFileName(const QString &fileName) { FFileName = fileName; }
    // Where the dialog opens when the file name names no folder; empty: the
    // current folder.
    QString InitialDir() const { return FInitialDir; }
    void SetInitialDir(const QString &folder) { FInitialDir = folder; }

    // Shows the dialog modally; true when the user accepted a file.
    bool Execute();

    // How Execute shows the dialog once it is set up; tests put a function
    // here that plays the user. The default runs exec().
    using Runner = std::function<bool(TFileDialog *dialog)>;
    void SetRunner(Runner runner) { FRunner = std::move(runner); }

    // Asks the create question for `fileName`; true to go on. Tests replace it.
    using CreateQuestion = std::function<bool(QWidget *parent, const QString &fileName)>;
    static void SetCreateQuestion(CreateQuestion question);

public slots:
    void accept() override;

private:
    void ApplySettings();
    void MakeWidgetsUsable();
    int SelectedFilterIndex() const;

    QString FFilter;
    int FFilterIndex = 1;
    QString FDefaultExt;
    TFileDialogOptions FOptions;
    QString FFileName;
    QString FInitialDir;
    Runner FRunner;
    bool FWidgetsMadeUsable = false;
};
