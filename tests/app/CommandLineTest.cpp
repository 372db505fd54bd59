#include "app/Application.h"
#include "app/CommandLineJob.h"
#include "app/MessageBoxes.h"
#include "app/UnitFormMain.h"

#include "app/FakeJetEngine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TProjectFile jobOf(const QStringList &args)
{
    return ArgsToProjectFile(args);
}

}  // namespace

TEST(ArgsToProjectFile, SwitchesFillTheirFieldsAndAbsentOnesTheDefaults)
{
    EXPECT_EQ(jobOf({"-sf:C:\\a.mdb", "/SP:s p", "-tf:b.mdb", "-tp:x:y", "-et:4", "-oe", "-as"}),
              MakeProjectFile("C:\\a.mdb", "s p", "b.mdb", "x:y", 4, true, true));
    EXPECT_EQ(jobOf({}), DefaultProjectFile());
    EXPECT_EQ(jobOf({"C:\\dropped.mdb", "sf:x", "--sf:y", "-s", "-etc"}), DefaultProjectFile());
}

TEST(ArgsToProjectFile, FlagsAreSetByPresenceAlone)
{
    EXPECT_EQ(jobOf({"-oe:0", "-as:no"}), MakeProjectFile("", "", "", "", 5, true, true));
    EXPECT_EQ(jobOf({"-oe"}), MakeProjectFile("", "", "", "", 5, true, false));
}

TEST(ArgsToProjectFile, EngineTypeConversion)
{
    for (const char *value : {"4", "04", "$4", "0x4", " 4", "X4"})
        EXPECT_EQ(jobOf({QStringLiteral("-et:%1").arg(QLatin1String(value))}).FEngineType, 4) << value;
    for (const char *value : {"5", "+5", "6", "x", "4.0", "-4", "4 ", "", "4294967300", "$100000004"})
        EXPECT_EQ(jobOf({QStringLiteral("-et:%1").arg(QLatin1String(value))}).FEngineType, 5) << value;
    EXPECT_EQ(jobOf({"-et"}).FEngineType, 5);
    EXPECT_EQ(jobOf({"-et4"}).FEngineType, 4) << "the colon is optional";
    EXPECT_EQ(jobOf({"-et:9", "-et:4"}).FEngineType, 5) << "the first match wins";
}

namespace {

class UnattendedStartTest : public ::testing::Test {
protected:
    UnattendedStartTest()
        : FHook([this](MessageBoxKind, const QString &text) { warnings << text; })
    {
    }
    ~UnattendedStartTest() override { SetProcessArguments({}); }

    // Shows a window and waits for its first idle processing.
    void startWith(const QStringList &args)
    {
        SetProcessArguments(args);
        form = std::make_unique<TFormMain>();
        QSignalSpy idleDone(form.get(), &TFormMain::FirstIdleDone);
        ASSERT_TRUE(Application().OnIdle) << "FormCreate installs the idle handler";
        form->show();
        ASSERT_TRUE(idleDone.wait(5000));
    }

    QTemporaryDir dir;
    QStringList warnings;
    ScopedFakeJetEngine engine;
    std::unique_ptr<TFormMain> form;

private:
    ScopedMessageBoxHook FHook;
};

}  // namespace

TEST_F(UnattendedStartTest, NoArgumentsChangeNothingAndTheHookIsRemoved)
{
    startWith({});
    EXPECT_FALSE(Application().OnIdle);
    EXPECT_EQ(form->ControlsToProjectFile(), DefaultProjectFile());
    EXPECT_TRUE(engine.log().events.isEmpty());
}

TEST_F(UnattendedStartTest, SwitchesAreShownAndTheIdleHandlerRunsOnce)
{
    form = std::make_unique<TFormMain>();
    form->SetProjectFileName(QStringLiteral("/jobs/kept.ini"));
    SetProcessArguments({"-sf:/a.mdb", "-et:4", "-oe"});
    QSignalSpy idleDone(form.get(), &TFormMain::FirstIdleDone);
    form->show();
    ASSERT_TRUE(idleDone.wait(5000));
    EXPECT_EQ(form->ControlsToProjectFile(), MakeProjectFile("/a.mdb", "", "", "", 4, true, false));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Tessivar - kept.ini"));
    EXPECT_TRUE(engine.log().events.isEmpty()) << "without -as nothing is compacted";

    form->EditSourceMdbPath->setText(QStringLiteral("edited"));
    form->hide();
    form->show();
    QTest::qWait(50);
    EXPECT_EQ(idleDone.count(), 1);
    EXPECT_EQ(form->EditSourceMdbPath->text(), QStringLiteral("edited"));
}

TEST_F(UnattendedStartTest, AutoStartCompactsWhatTheSwitchesGave)
{
    const QString source = dir.filePath(QStringLiteral("s.mdb"));
    QFile(source).open(QIODevice::WriteOnly);
    startWith({QStringLiteral("-sf:%1").arg(source), "-tf:/t.mdb", "-tp:pw", "-as"});
    EXPECT_EQ(engine.log().events, (QStringList{"create", "call", "release"}));
    EXPECT_EQ(engine.log().target, QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/t.mdb;"
                                                  "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Password=pw"));
    EXPECT_TRUE(form->isVisible()) << "without -oe the window stays open";
    EXPECT_EQ(form->LastCompactionOutcome(), TCompactionOutcome::Succeeded);
}

TEST_F(UnattendedStartTest, MissingSourceWarnsAndKeepsTheWindowEvenWithAutoExit)
{
    startWith({QStringLiteral("-sf:%1").arg(dir.filePath(QStringLiteral("none.mdb"))), "-as", "-oe"});
    EXPECT_EQ(warnings, QStringList{QStringLiteral("変換するMDBファイルが見つかりません。")});
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->CheckBoxOptionAutoExit->isChecked());
    EXPECT_EQ(form->LastCompactionOutcome(), TCompactionOutcome::InputRejected);
}

TEST_F(UnattendedStartTest, FailedCompactionWithAutoExitWarnsThenCloses)
{
    const QString source = dir.filePath(QStringLiteral("s.mdb"));
    QFile(source).open(QIODevice::WriteOnly);
    engine.log().onCall = [] { failLikeTheEngine(QStringLiteral("壊れています。")); };
    startWith({QStringLiteral("-sf:%1").arg(source), "-as", "-oe"});
    EXPECT_EQ(warnings, QStringList{QStringLiteral("壊れています。")});
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->ClosedByAutoExit());
}
