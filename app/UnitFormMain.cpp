#include "app/UnitFormMain.h"

#include "app/ActionManager.h"
#include "app/Application.h"
#include "app/CommandLineJob.h"
#include "app/CompactionResultText.h"
#include "app/JetCompaction.h"
#include "app/FileDialog.h"
#include "app/HintTracker.h"
#include "app/MessageBoxes.h"
#include "app/ShortcutOverrideFilter.h"
#include "app/UnitFormAboutBox.h"
#include "platform/Automation.h"
#include "platform/Exceptions.h"
#include "platform/FileKind.h"
#include "platform/FileSystem.h"
#include "platform/JetEngineObject.h"
#include "util/CursorHourGlass.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace {

const QString kCompacting = QStringLiteral("最適化処理中...");
const QString kCompactionEnded = QStringLiteral("最適化処理を終了しました。");
const QString kSourceMissing = QStringLiteral("変換するMDBファイルが見つかりません。");

bool isInvalidPathCharacter(QChar c)
{
    return c.unicode() < 0x20 || c == QLatin1Char('"') || c == QLatin1Char('<') || c == QLatin1Char('>') ||
           c == QLatin1Char('|');
}

// The window whose one-shot idle handler is installed, if any.
TFormMain *idleHandlerOwner = nullptr;

// The engine's progress as a bar in the status bar for the length of the
// engine call, left of the result section; gone again on every way out.
class ScopedStatusProgressBar {
public:
    ScopedStatusProgressBar(QStatusBar *bar, QProgressBar *&slot) : FSlot(slot)
    {
        auto *progress = new QProgressBar(bar);
        progress->setObjectName(QStringLiteral("ProgressBarCompaction"));
        progress->setRange(0, 100);
        progress->setValue(0);
        progress->setTextVisible(true);
        progress->setMaximumHeight(bar->height() - 4);
        progress->setFixedWidth(160);
        bar->insertPermanentWidget(0, progress);
        FSlot = progress;
    }
    ~ScopedStatusProgressBar()
    {
        delete FSlot;
        FSlot = nullptr;
    }
    ScopedStatusProgressBar(const ScopedStatusProgressBar &) = delete;
    ScopedStatusProgressBar &operator=(const ScopedStatusProgressBar &) = delete;

private:
    QProgressBar *&FSlot;
};

}  // namespace

QString CaptionFileName(const QString &path)
{
    const qsizetype separator = std::max({path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')),
                                          path.lastIndexOf(QLatin1Char(':'))});
    return path.mid(separator + 1);
}

QString FileDialogFolder(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    if (slash == 0 || path[slash - 1] == QLatin1Char('/'))
        return path.left(slash + 1);
    return path.left(slash);
}

QString HelpFileForExecutable(const QString &executablePath)
{
    const QDir folder = QFileInfo(executablePath).absoluteDir();
    const QString beside = folder.filePath(QStringLiteral("help/index.html"));
    const QString installed = QDir::cleanPath(folder.filePath(QStringLiteral("../share/tessivar/help/index.html")));
    return !QFileInfo::exists(beside) && QFileInfo::exists(installed) ? installed : beside;
}

TFormMain::TFormMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormMain"));
    const TFormMainActions actions = CreateFormMainActions(this);
    ActionManager1 = actions.ActionManager1;
    ActionTessivar = actions.ActionTessivar;
    FileOpenSourceMdb = actions.FileOpenSourceMdb;
    FileOpenTargetMdb = actions.FileOpenTargetMdb;
    ActionFileNew = actions.ActionFileNew;
    ActionFileOpen = actions.ActionFileOpen;
    ActionFileSaveAs = actions.ActionFileSaveAs;
    ActionFileCreateBat = actions.ActionFileCreateBat;
    ActionHelpVersion = actions.ActionHelpVersion;
    ActionHelpShow = actions.ActionHelpShow;
    FileOpenSourceMdbDialog = FileOpenSourceMdb->Dialog();
    FileOpenTargetMdbDialog = FileOpenTargetMdb->Dialog();
    ActionFileOpenDialog = ActionFileOpen->Dialog();
    ActionFileSaveAsDialog = ActionFileSaveAs->Dialog();
    ActionFileCreateBatDialog = ActionFileCreateBat->Dialog();

    const TFormMainCommands commands{ActionTessivar, FileOpenSourceMdb, FileOpenTargetMdb, ActionFileNew, ActionFileOpen,
                                     ActionFileSaveAs, ActionFileCreateBat, ActionHelpVersion, ActionHelpShow};
    const TFormMainControls controls = CreateFormMainLayout(this, commands);
    ActionToolBar1 = controls.ActionToolBar1;
    EditSourceMdbPath = controls.EditSourceMdbPath;
    SpeedButton1 = controls.SpeedButton1;
    EditSourceMdbPassword = controls.EditSourceMdbPassword;
    EditTargetMdbPath = controls.EditTargetMdbPath;
    SpeedButton2 = controls.SpeedButton2;
    Label1 = controls.Label1;
    EditTargetMdbPassword = controls.EditTargetMdbPassword;
    ComboBoxEngineType = controls.ComboBoxEngineType;
    GroupBox1 = controls.GroupBox1;
    CheckBoxOptionAutoExit = controls.CheckBoxOptionAutoExit;
    BitBtn1 = controls.BitBtn1;
    StatusBar1 = controls.StatusBar1;
    MainMenu1 = controls.MainMenu1;

    HintTracker = new THintTracker(StatusBar1, this);
    StatusBarResult = new QLabel(StatusBar1);
    StatusBarResult->setObjectName(QStringLiteral("StatusBarResult"));
    StatusBar1->addPermanentWidget(StatusBarResult);
    new TShortcutOverrideFilter(this);
    ConnectActions();
    FormCreate();
}

TFormMain::~TFormMain()
{
    // A window destroyed before its first idle moment must not leave its
    // handler behind.
    if (idleHandlerOwner == this) {
        Application().OnIdle = nullptr;
        idleHandlerOwner = nullptr;
    }
}

void TFormMain::ConnectActions()
{
    const auto handler = [this](void (TFormMain::*method)(QObject *)) {
        return [this, method](QObject *sender) { (this->*method)(sender); };
    };
    connect(ActionTessivar, &QAction::triggered, this, [this] { ActionTessivarExecute(ActionTessivar); });
    FileOpenSourceMdb->OnBeforeExecute = handler(&TFormMain::FileOpenSourceMdbBeforeExecute);
    FileOpenSourceMdb->OnAccept = handler(&TFormMain::FileOpenSourceMdbAccept);
    FileOpenTargetMdb->OnBeforeExecute = handler(&TFormMain::FileOpenTargetMdbBeforeExecute);
    FileOpenTargetMdb->OnAccept = handler(&TFormMain::FileOpenTargetMdbAccept);
    connect(ActionFileNew, &QAction::triggered, this, [this] { ActionFileNewExecute(ActionFileNew); });
    ActionFileOpen->OnAccept = handler(&TFormMain::ActionFileOpenAccept);
    ActionFileSaveAs->OnBeforeExecute = handler(&TFormMain::ActionFileSaveAsBeforeExecute);
    ActionFileSaveAs->OnAccept = handler(&TFormMain::ActionFileSaveAsAccept);
    ActionFileCreateBat->OnAccept = handler(&TFormMain::ActionFileCreateBatAccept);
    connect(ActionHelpVersion, &QAction::triggered, this, [this] { ActionHelpVersionExecute(ActionHelpVersion); });
    connect(ActionHelpShow, &QAction::triggered, this, [this] { ActionHelpShowExecute(ActionHelpShow); });
}

void TFormMain::SetFileDialogRunner(FileDialogRunner runner)
{
    for (TFileDialog *dialog : {FileOpenSourceMdbDialog, FileOpenTargetMdbDialog, ActionFileOpenDialog,
                                ActionFileSaveAsDialog, ActionFileCreateBatDialog}) {
        if (runner)
            dialog->SetRunner([runner](TFileDialog *d) { return runner(d); });
        else
            dialog->SetRunner(nullptr);
    }
}

void TFormMain::FormCreate()
{
    Application().HelpFile = HelpFileForExecutable(QCoreApplication::applicationFilePath());
    NewProject();
    Application().OnIdle = [this](QObject *sender, bool &done) { ApplicationIdle(sender, done); };
    idleHandlerOwner = this;
    WatchFirstExpose(this, [this] {
        DoApplicationIdle();
        emit FirstIdleDone();
    });
}

void TFormMain::SetProjectFileName(const QString &value)
{
    FProjectFileName = value;
    if (value.isEmpty()) {
        setWindowTitle(Application().Title);
        return;
    }
    if (std::any_of(value.begin(), value.end(), isInvalidPathCharacter))
        throw EArgumentException(QStringLiteral("パスに無効な文字が含まれています"));
    setWindowTitle(QStringLiteral("%1 - %2").arg(Application().Title, CaptionFileName(value)));
}

std::int32_t TFormMain::EngineType() const
{
    return EngineTypeFromListIndex(ComboBoxEngineType->currentIndex());
}

void TFormMain::SetEngineType(std::int32_t value)
{
    ComboBoxEngineType->setCurrentIndex(ListIndexFromEngineType(value));
}

TProjectFile TFormMain::ControlsToProjectFile() const
{
    return MakeProjectFile(EditSourceMdbPath->text(), EditSourceMdbPassword->text(), EditTargetMdbPath->text(),
                           EditTargetMdbPassword->text(), EngineType(), CheckBoxOptionAutoExit->isChecked(), false);
}

void TFormMain::ProjectFileToControls(TProjectFile projectFile)
{
    EditSourceMdbPath->setText(projectFile.FSourceMdbPath);
    EditSourceMdbPassword->setText(projectFile.FSourceMdbPassword);
    EditTargetMdbPath->setText(projectFile.FTargetMdbPath);
    EditTargetMdbPassword->setText(projectFile.FTargetMdbPassword);
    SetEngineType(projectFile.FEngineType);
    CheckBoxOptionAutoExit->setChecked(projectFile.FOptionAutoExit);
}

void TFormMain::NewProject()
{
    SetProjectFileName(QString());
    ProjectFileToControls(DefaultProjectFile());
}

bool TFormMain::ValidateInput()
{
    const TProjectFile job = ControlsToProjectFile();
    if (FileExists(job.FSourceMdbPath))
        return true;
    // Something else under that name is said so; "not found" alone would
    // send the user looking for a file that is in plain sight.
    const QString kind = NonRegularFileKind(job.FSourceMdbPath);
    WarningBox(this, kind.isEmpty() ? kSourceMissing
                                    : kSourceMissing + QStringLiteral("\"%1\" は%2で、データベースのファイルではありません。")
                                                           .arg(job.FSourceMdbPath, kind));
    return false;
}

void TFormMain::ActionTessivarExecute(QObject *)
{
    const ICursorHourGlassRef cursor = CreateCursorHourGlass(crHourGlass);
    if (!ValidateInput()) {
        FLastCompactionOutcome = TCompactionOutcome::InputRejected;
        return;
    }
    try {
        StatusBar1->showMessage(kCompacting);
        QCoreApplication::processEvents();
        CompactJob();
        FLastCompactionOutcome = TCompactionOutcome::Succeeded;
    } catch (...) {
        FLastCompactionOutcome = TCompactionOutcome::Failed;
        const QString message = MessageOfCurrentException();
        ShowCompactionResult(CompactionFailedText(), message);
        WarningBox(this, message);
    }
    if (CheckBoxOptionAutoExit->isChecked()) {
        FClosedByAutoExit = true;
        close();
    }
    StatusBar1->showMessage(kCompactionEnded);
    QCoreApplication::processEvents();
}

// Steps 5 and 6 of the compaction command: the job read from the controls
// in the command's order, then the engine call. While the engine works, its
// progress is painted, but no input is handled, so no command can run
// nested inside the call.
void TFormMain::CompactJob()
{
    const QString targetMdbPath = EditTargetMdbPath->text();
    const QString targetMdbPassword = EditTargetMdbPassword->text();
    const std::int32_t engineType = EngineType();
    const QString sourceMdbPassword = EditSourceMdbPassword->text();
    const QString sourceMdbPath = EditSourceMdbPath->text();
    FShownPercent = -1;
    ShowCompactionResult(QString(), QString());
    std::optional<CompactionReport> report;
    const CompactionReportSink outer = CurrentCompactionReport();
    const ScopedCompactionReport reporting([&report, &outer](const CompactionReport &r) {
        report = r;
        if (outer)
            outer(r);
    });
    {
        const ScopedStatusProgressBar bar(StatusBar1, FProgressBar);
        const ScopedAutomationProgress progress([this](int percent) { ShowCompactionProgress(percent); });
        CompactJetDatabase(sourceMdbPath, sourceMdbPassword, targetMdbPath, targetMdbPassword, engineType);
    }
    if (report)
        ShowCompactionResult(CompactionResultText(*report), CompactionResultToolTip(*report));
}

void TFormMain::ShowCompactionResult(const QString &text, const QString &toolTip)
{
    StatusBarResult->setText(text);
    StatusBarResult->setToolTip(toolTip);
}

void TFormMain::ShowCompactionProgress(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == FShownPercent)
        return;
    FShownPercent = percent;
    if (FProgressBar)
        FProgressBar->setValue(percent);
    emit CompactionProgress(percent);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TFormMain::PrepareFileDialog(const QString &path, TFileDialog *dialog)
{
    if (path.isEmpty() || !FileExists(path)) {
        dialog->SetFileName(QString());
        dialog->SetInitialDir(QString());
        return;
    }
    dialog->SetFileName(path);
    dialog->SetInitialDir(FileDialogFolder(path));
}

void TFormMain::FileOpenSourceMdbBeforeExecute(QObject *)
{
    PrepareFileDialog(EditSourceMdbPath->text(), FileOpenSourceMdbDialog);
}

void TFormMain::FileOpenSourceMdbAccept(QObject *)
{
    EditSourceMdbPath->setText(FileOpenSourceMdbDialog->FileName());
}

void TFormMain::FileOpenTargetMdbBeforeExecute(QObject *)
{
    PrepareFileDialog(EditTargetMdbPath->text(), FileOpenTargetMdbDialog);
}

void TFormMain::FileOpenTargetMdbAccept(QObject *)
{
    EditTargetMdbPath->setText(FileOpenTargetMdbDialog->FileName());
}

// Help is HTML, shown by the desktop's browser; the file is not checked
// beforehand, but a failure to hand it over is reported with its path.
void TFormMain::ActionHelpShowExecute(QObject *)
{
    const QString helpFile = Application().HelpFile;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(helpFile)))
        WarningBox(this, QStringLiteral("ヘルプファイル %1 を表示できません。").arg(helpFile));
}

void TFormMain::ActionHelpVersionExecute(QObject *)
{
    TFormAboutBox box(this);
    box.exec();
}

void TFormMain::RunCommandLine()
{
    const QStringList args = ProcessArguments();
    const TProjectFile job = ArgsToProjectFile(args);
    ProjectFileToControls(job);
    if (job.FAutoStart)
        ActionTessivarExecute(nullptr);
}

void TFormMain::ApplicationIdle(QObject *, bool &)
{
    Application().OnIdle = nullptr;
    if (idleHandlerOwner == this)
        idleHandlerOwner = nullptr;
    if (!ProcessArguments().isEmpty())
        RunCommandLine();
}
