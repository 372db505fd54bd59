#include "app/Application.h"
#include "app/MessageBoxes.h"
#include "app/UnitFormMain.h"
#include "platform/Exceptions.h"
#include "util/CursorHourGlass.h"

#include "app/FakeJetEngine.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

struct Box {
    MessageBoxKind kind;
    QString text;
    QString statusText;  // what the status bar showed while the box was open
    TCursor cursor;      // the screen cursor while the box was open
    bool windowVisible;
};

class FormMainTest : public ::testing::Test {
protected:
    FormMainTest()
        : FHook([this](MessageBoxKind kind, const QString &text) {
              boxes.push_back({kind, text, form.StatusBar1->currentMessage(), ScreenCursor(), form.isVisible()});
          })
    {
        EXPECT_TRUE(dir.isValid());
    }

    QString existingFile(const QString &name)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }

    void fillJob(const QString &source, const QString &target)
    {
        form.EditSourceMdbPath->setText(source);
        form.EditSourceMdbPassword->setText(QStringLiteral("sp"));
        form.EditTargetMdbPath->setText(target);
        form.EditTargetMdbPassword->setText(QStringLiteral("tp"));
    }

    QTemporaryDir dir;
    TFormMain form;
    std::vector<Box> boxes;
    ScopedFakeJetEngine engine;

private:
    ScopedMessageBoxHook FHook;
};

}  // namespace

TEST_F(FormMainTest, StartsWithTheDefaultJob)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tessivar"));
    EXPECT_EQ(form.ProjectFileName(), QString());
    for (QLineEdit *edit : {form.EditSourceMdbPath, form.EditSourceMdbPassword, form.EditTargetMdbPath,
                            form.EditTargetMdbPassword})
        EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_EQ(form.ComboBoxEngineType->currentText(), QStringLiteral("5(Jet 4.X形式)"));
    EXPECT_EQ(form.ComboBoxEngineType->count(), 2);
    EXPECT_EQ(form.ComboBoxEngineType->itemText(0), QStringLiteral("4(Jet 3.X形式)"));
    EXPECT_FALSE(form.CheckBoxOptionAutoExit->isChecked());
    EXPECT_TRUE(form.StatusBar1->currentMessage().isEmpty());
    EXPECT_TRUE(Application().HelpFile.endsWith(QStringLiteral("/help/index.html")));
}

TEST_F(FormMainTest, ControlsAndCommandsCarryTheirNames)
{
    for (const char *name : {"EditSourceMdbPath", "EditSourceMdbPassword", "EditTargetMdbPath",
                             "EditTargetMdbPassword", "ComboBoxEngineType", "CheckBoxOptionAutoExit", "StatusBar1"})
        EXPECT_NE(form.findChild<QWidget *>(QLatin1String(name)), nullptr) << name;
    for (const char *name : {"ActionTessivar", "FileOpenSourceMdb", "FileOpenTargetMdb", "ActionHelpShow"})
        EXPECT_NE(form.findChild<QAction *>(QLatin1String(name)), nullptr) << name;
    EXPECT_EQ(form.ActionTessivar->shortcut(), QKeySequence(Qt::Key_F5));
}

TEST_F(FormMainTest, CaptionShowsTheTextAfterTheLastSeparator)
{
    const struct {
        const char *value;
        const char *caption;
    } cases[] = {
        {"C:\\jobs\\a.ini", "Tessivar - a.ini"}, {"/home/u/b.ini", "Tessivar - b.ini"},
        {"C:c.ini", "Tessivar - c.ini"},         {"d.ini", "Tessivar - d.ini"},
        {"/x/", "Tessivar - "},                  {"", "Tessivar"},
    };
    for (const auto &c : cases) {
        form.SetProjectFileName(QString::fromUtf8(c.value));
        EXPECT_EQ(form.windowTitle(), QString::fromUtf8(c.caption)) << c.value;
        EXPECT_EQ(form.ProjectFileName(), QString::fromUtf8(c.value));
    }
}

TEST_F(FormMainTest, InvalidCharactersAreStoredButLeaveTheCaption)
{
    form.SetProjectFileName(QStringLiteral("/ok.ini"));
    for (const QString &bad : {QStringLiteral("a|b.ini"), QStringLiteral("a\"b"), QStringLiteral("<x>"),
                               QStringLiteral("tab\t.ini"), QStringLiteral("nul") + QChar(0)}) {
        try {
            form.SetProjectFileName(bad);
            ADD_FAILURE() << "accepted " << bad.toStdString();
        } catch (const EArgumentException &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("パスに無効な文字が含まれています"));
        }
        EXPECT_EQ(form.ProjectFileName(), bad);
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Tessivar - ok.ini"));
    }
}

TEST_F(FormMainTest, EngineTypeMapsTheListAndRejectsOtherValues)
{
    form.SetEngineType(4);
    EXPECT_EQ(form.ComboBoxEngineType->currentIndex(), 0);
    EXPECT_THROW(form.SetEngineType(6), EArgumentException);
    EXPECT_EQ(form.ComboBoxEngineType->currentIndex(), 0);
    form.ComboBoxEngineType->setCurrentIndex(-1);
    EXPECT_EQ(form.EngineType(), 4) << "no selection gives 4, not the default 5";
}

TEST_F(FormMainTest, JobRoundTripsThroughTheControlsWithoutAutoStart)
{
    const TProjectFile job = MakeProjectFile(QStringLiteral(" /s.mdb"), QStringLiteral("p;w "), QStringLiteral("/t.mdb"),
                                             QStringLiteral("ｔｐ"), 4, true, true);
    form.ProjectFileToControls(job);
    TProjectFile expected = job;
    expected.FAutoStart = false;
    EXPECT_EQ(form.ControlsToProjectFile(), expected);
    form.NewProject();
    EXPECT_EQ(form.ControlsToProjectFile(), DefaultProjectFile());
}

TEST_F(FormMainTest, BadEngineTypeFillsTheEditsThenLeavesListAndCheckBox)
{
    form.SetProjectFileName(QStringLiteral("/j.ini"));
    try {
        form.ProjectFileToControls(MakeProjectFile("s", "sp", "t", "tp", 9, true, false));
        FAIL();
    } catch (const EArgumentException &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("EngineTypeが不正な値です。"));
    }
    EXPECT_EQ(form.EditSourceMdbPath->text(), QStringLiteral("s"));
    EXPECT_EQ(form.EditTargetMdbPassword->text(), QStringLiteral("tp"));
    EXPECT_EQ(form.ComboBoxEngineType->currentIndex(), 1);
    EXPECT_FALSE(form.CheckBoxOptionAutoExit->isChecked());
    EXPECT_EQ(form.ProjectFileName(), QStringLiteral("/j.ini"));
}

TEST_F(FormMainTest, ValidateInputNeedsAnExistingFile)
{
    const QString file = existingFile(QStringLiteral("a.mdb"));
    const QString link = dir.filePath(QStringLiteral("link.mdb"));
    const QString dangling = dir.filePath(QStringLiteral("dangling.mdb"));
    ASSERT_TRUE(QFile::link(file, link));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dangling));
    for (const QString &path : {file, link}) {
        form.EditSourceMdbPath->setText(path);
        EXPECT_TRUE(form.ValidateInput()) << path.toStdString();
    }
    for (const QString &path : {QString(), dir.path(), dangling, dir.filePath(QStringLiteral("none.mdb"))}) {
        form.EditSourceMdbPath->setText(path);
        EXPECT_FALSE(form.ValidateInput()) << path.toStdString();
    }
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].kind, MessageBoxKind::Warning);
    EXPECT_EQ(boxes[0].text, QStringLiteral("変換するMDBファイルが見つかりません。"));
}

TEST_F(FormMainTest, CompactionRunsItsStepsInOrder)
{
    fillJob(existingFile(QStringLiteral("s.mdb")), QStringLiteral("/t/out.mdb"));
    QString statusDuringCall;
    TCursor cursorDuringCall = crDefault;
    engine.log().onCall = [&] {
        statusDuringCall = form.StatusBar1->currentMessage();
        cursorDuringCall = ScreenCursor();
    };
    form.ActionTessivar->trigger();
    EXPECT_EQ(engine.log().events, (QStringList{"create", "call", "release"}));
    EXPECT_EQ(statusDuringCall, QStringLiteral("最適化処理中..."));
    EXPECT_EQ(cursorDuringCall, crHourGlass);
    EXPECT_EQ(engine.log().target, QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/t/out.mdb;"
                                                  "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Password=tp"));
    EXPECT_TRUE(engine.log().source.endsWith(QStringLiteral("s.mdb;Jet OLEDB:Database Password=sp")));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(form.StatusBar1->currentMessage(), QStringLiteral("最適化処理を終了しました。"));
    EXPECT_EQ(ScreenCursor(), crDefault);
    EXPECT_EQ(form.LastCompactionOutcome(), TCompactionOutcome::Succeeded);
}

TEST_F(FormMainTest, MissingSourceStopsBeforeAnythingElseEvenWithAutoExit)
{
    form.show();
    fillJob(dir.filePath(QStringLiteral("none.mdb")), QStringLiteral("/t.mdb"));
    form.CheckBoxOptionAutoExit->setChecked(true);
    form.StatusBar1->showMessage(QStringLiteral("before"));
    form.ActionTessivarExecute(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("変換するMDBファイルが見つかりません。"));
    EXPECT_EQ(boxes[0].cursor, crHourGlass);
    EXPECT_TRUE(engine.log().events.isEmpty());
    EXPECT_EQ(form.StatusBar1->currentMessage(), QStringLiteral("before"));
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.ClosedByAutoExit());
    EXPECT_EQ(ScreenCursor(), crDefault);
    EXPECT_EQ(form.LastCompactionOutcome(), TCompactionOutcome::InputRejected);
}

TEST_F(FormMainTest, FailureIsShownWhileBusyThenAutoExitClosesTheWindow)
{
    form.show();
    fillJob(existingFile(QStringLiteral("s.mdb")), QString());
    form.CheckBoxOptionAutoExit->setChecked(true);
    engine.log().onCall = [] { failLikeTheEngine(QStringLiteral("保存先がありません。")); };
    form.ActionTessivarExecute(nullptr);
    EXPECT_TRUE(engine.log().target.contains(QStringLiteral(";Data Source=;")));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("保存先がありません。"));
    EXPECT_EQ(boxes[0].statusText, QStringLiteral("最適化処理中..."));
    EXPECT_EQ(boxes[0].cursor, crHourGlass);
    EXPECT_TRUE(boxes[0].windowVisible) << "the warning comes before the window closes";
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.ClosedByAutoExit());
    EXPECT_EQ(form.StatusBar1->currentMessage(), QStringLiteral("最適化処理を終了しました。"));
    EXPECT_EQ(form.LastCompactionOutcome(), TCompactionOutcome::Failed);
    EXPECT_EQ(ScreenCursor(), crDefault);
}

TEST_F(FormMainTest, NoExceptionLeavesTheCompactionCommand)
{
    fillJob(existingFile(QStringLiteral("s.mdb")), QStringLiteral("/t.mdb"));
    engine.log().onCall = [] { throw 42; };
    EXPECT_NO_THROW(form.ActionTessivarExecute(nullptr));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(boxes[0].text.isEmpty());
    EXPECT_EQ(form.StatusBar1->currentMessage(), QStringLiteral("最適化処理を終了しました。"));
}

TEST_F(FormMainTest, ProgressGoesToABarBesideTheUnchangedTextOnlyDuringTheCall)
{
    form.show();
    fillJob(existingFile(QStringLiteral("s.mdb")), QStringLiteral("/t.mdb"));
    QStringList shown;
    QList<int> values;
    EXPECT_EQ(form.CompactionProgressBar(), nullptr);
    engine.log().onCall = [&] {
        for (int percent : {0, 42, 42, 100}) {
            CurrentAutomationProgress()(percent);
            shown << form.StatusBar1->currentMessage();
            QProgressBar *bar = form.CompactionProgressBar();
            values << (bar && bar->isVisible() ? bar->value() : -1);
        }
    };
    form.ActionTessivarExecute(nullptr);
    EXPECT_EQ(shown, QStringList(4, QStringLiteral("最適化処理中...")));
    EXPECT_EQ(values, (QList<int>{0, 42, 42, 100}));
    EXPECT_FALSE(CurrentAutomationProgress()) << "the progress sink ends with the call";
    EXPECT_EQ(form.CompactionProgressBar(), nullptr);
    EXPECT_TRUE(form.StatusBar1->findChildren<QProgressBar *>().isEmpty());
}

TEST_F(FormMainTest, ResultSectionShowsTheFiguresOrTheFailureBesideTheCommandsText)
{
    form.show();
    fillJob(existingFile(QStringLiteral("s.mdb")), QStringLiteral("/t.mdb"));
    engine.log().onCall = [] {
        CompactionReport report{QStringLiteral("/s.mdb"), QStringLiteral("/t.mdb"), {}, 0.421};
        report.Result.sourceBytes = 356352;
        report.Result.targetBytes = 122880;
        report.Result.tables = 11;
        report.Result.rows = 140;
        report.Result.userTables = 6;
        report.Result.userRows = 42;
        CurrentCompactionReport()(report);
    };
    std::optional<CompactionReport> passedOn;
    {
        const ScopedCompactionReport outer([&](const CompactionReport &r) { passedOn = r; });
        form.ActionTessivarExecute(nullptr);
    }
    EXPECT_EQ(form.StatusBar1->currentMessage(), QStringLiteral("最適化処理を終了しました。"));
    EXPECT_TRUE(form.StatusBarResult->isVisible());
    EXPECT_EQ(form.StatusBarResult->text(), QStringLiteral("348.0 KB → 120.0 KB (65.5% 削減, 0.42 秒)"));
    const QString tip = form.StatusBarResult->toolTip();
    for (const char *figure : {"356352 バイト", "122880 バイト", "233472 バイト (65.5% 削減)", "ユーザー テーブル: 6 (行 42)",
                               "システム テーブル: 5 (行 98)", "0.42 秒"})
        EXPECT_TRUE(tip.contains(QString::fromUtf8(figure))) << figure << "\n" << tip.toStdString();
    EXPECT_TRUE(passedOn.has_value()) << "the headless summary still gets the report";

    // A failure after progress: the warning sits over the plain text, the
    // section says the compaction failed and why.
    engine.log().onCall = [] {
        CurrentAutomationProgress()(0);
        failLikeTheEngine(QStringLiteral("壊れています。"));
    };
    form.ActionTessivarExecute(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].statusText, QStringLiteral("最適化処理中..."));
    EXPECT_EQ(form.StatusBar1->currentMessage(), QStringLiteral("最適化処理を終了しました。"));
    EXPECT_EQ(form.StatusBarResult->text(), QStringLiteral("最適化に失敗しました"));
    EXPECT_EQ(form.StatusBarResult->toolTip(), QStringLiteral("壊れています。"));
}

TEST_F(FormMainTest, ResultSectionCountsTheNoticesAndItsTooltipHoldsEachInFull)
{
    form.show();
    fillJob(existingFile(QStringLiteral("s.mdb")), QStringLiteral("/t.mdb"));
    const std::vector<std::string> notices = {"フォームは含めていません。", "二つ目のお知らせです。"};
    engine.log().onCall = [&notices] {
        CompactionReport report{QStringLiteral("/s.mdb"), QStringLiteral("/t.mdb"), {}, 1.5};
        report.Result.sourceBytes = 2048;
        report.Result.targetBytes = 1024;
        report.Result.notices = notices;
        CurrentCompactionReport()(report);
    };
    form.ActionTessivarExecute(nullptr);
    EXPECT_TRUE(boxes.empty()) << "a notice is no failure";
    EXPECT_EQ(form.StatusBarResult->text(), QStringLiteral("2.0 KB → 1.0 KB (50.0% 削減, 1.50 秒) 注意 2 件"));
    EXPECT_TRUE(form.StatusBarResult->toolTip().endsWith(
        QStringLiteral("1.50 秒\n注意: フォームは含めていません。\n注意: 二つ目のお知らせです。")))
        << form.StatusBarResult->toolTip().toStdString();
}

TEST_F(FormMainTest, BrowseCommandsPresetExistingFilesAndWriteBackAcceptedOnes)
{
    const QString source = existingFile(QStringLiteral("s.mdb"));
    const QString chosen = existingFile(QStringLiteral("chosen.mdb"));
    form.EditSourceMdbPath->setText(source);
    QString presetFolder;
    QStringList presetFiles;
    bool accept = true;
    form.SetFileDialogRunner([&](QFileDialog *dialog) {
        presetFolder = dialog->directory().absolutePath();
        presetFiles = dialog->selectedFiles();
        dialog->selectFile(chosen);
        return accept;
    });
    form.FileOpenSourceMdb->trigger();
    EXPECT_EQ(presetFolder, dir.path());
    EXPECT_EQ(presetFiles.value(0), source);
    EXPECT_EQ(form.EditSourceMdbPath->text(), chosen);

    form.EditTargetMdbPath->setText(dir.filePath(QStringLiteral("new.mdb")));
    accept = false;
    form.FileOpenTargetMdb->trigger();
    EXPECT_EQ(form.EditTargetMdbPath->text(), dir.filePath(QStringLiteral("new.mdb"))) << "cancel changes nothing";
    EXPECT_FALSE(presetFiles.value(0).endsWith(QStringLiteral("new.mdb"))) << "a target not yet there is not preset";
}

TEST(FileDialogFolder, KeepsOnlyTheRootsSeparator)
{
    EXPECT_EQ(FileDialogFolder(QStringLiteral("/data/a.mdb")), QStringLiteral("/data"));
    EXPECT_EQ(FileDialogFolder(QStringLiteral("/a.mdb")), QStringLiteral("/"));
    EXPECT_EQ(FileDialogFolder(QStringLiteral("rel/a.mdb")), QStringLiteral("rel"));
    EXPECT_EQ(FileDialogFolder(QStringLiteral("a.mdb")), QString());
    EXPECT_EQ(FileDialogFolder(QStringLiteral("/x//a.mdb")), QStringLiteral("/x//"));
}

TEST(HelpFileForExecutable, BesideTheProgramUnlessOnlyTheInstalledCopyExists)
{
    QTemporaryDir dir;
    const auto touch = [&](const QString &relative) {
        QDir(dir.path()).mkpath(QFileInfo(dir.filePath(relative)).path());
        QFile(dir.filePath(relative)).open(QIODevice::WriteOnly);
    };
    const QString program = dir.filePath(QStringLiteral("bin/tessivar"));
    EXPECT_EQ(HelpFileForExecutable(program), dir.filePath(QStringLiteral("bin/help/index.html")));
    touch(QStringLiteral("share/tessivar/help/index.html"));
    EXPECT_EQ(HelpFileForExecutable(program), dir.filePath(QStringLiteral("share/tessivar/help/index.html")));
    touch(QStringLiteral("bin/help/index.html"));
    EXPECT_EQ(HelpFileForExecutable(program), dir.filePath(QStringLiteral("bin/help/index.html")));
}

namespace {

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

}  // namespace

TEST_F(FormMainTest, HelpOpensTheHelpFile)
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    form.ActionHelpShow->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0].toLocalFile(), Application().HelpFile);
    EXPECT_TRUE(boxes.empty());
}

#include "FormMainTest.moc"
