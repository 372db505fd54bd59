// Hints in the status bar: the control under the pointer (or its nearest
// ancestor with a hint), highlighted menu items, and texts that commands
// leave there surviving until the hint changes.
#include "app/HintTracker.h"
#include "app/MessageBoxes.h"
#include "app/UnitFormMain.h"

#include "app/FakeJetEngine.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class StatusHints : public ::testing::Test {
protected:
    StatusHints()
    {
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    // Moves the pointer onto the widget and lets queued look-ups run.
    void PointAt(QWidget *widget, QPoint at = QPoint(3, 3))
    {
        QTest::mouseMove(widget, at);
        QTest::qWait(20);
    }

    QString Status() const { return form.StatusBar1->currentMessage(); }

    QToolButton *ToolButtonFor(QAction *action)
    {
        return qobject_cast<QToolButton *>(form.ActionToolBar1->widgetForAction(action));
    }

    TFormMain form;
    QStringList warnings;
    ScopedMessageBoxHook boxes{[this](MessageBoxKind, const QString &text) { warnings << text; }};
};

TEST_F(StatusHints, FollowThePointerFromControlToControl)
{
    PointAt(form.BitBtn1);
    EXPECT_EQ(Status(), QStringLiteral("MDBファイルを最適化します"));
    PointAt(ToolButtonFor(form.ActionFileOpen));
    EXPECT_EQ(Status(), QStringLiteral("既存のファイルを開きます"));
    PointAt(ToolButtonFor(form.ActionFileSaveAs));
    EXPECT_EQ(Status(), QStringLiteral("アクティブ ファイルを新しい名前で保存します"));
    PointAt(form.SpeedButton2);
    EXPECT_EQ(Status(), QStringLiteral("最適化したMDBファイルのファイル名を選択します。"));
    // A control without a hint, in a parent without one: empty.
    PointAt(form.CheckBoxOptionAutoExit);
    EXPECT_EQ(Status(), QString());
    PointAt(form.SpeedButton1);
    EXPECT_EQ(Status(), QStringLiteral("最適化するMDBファイルを選択します。"));
    PointAt(form.EditSourceMdbPath);
    EXPECT_EQ(Status(), QString());
}

TEST_F(StatusHints, ChildWithoutHintShowsItsNearestAncestorsAndBackAgain)
{
    form.GroupBox1->setStatusTip(QStringLiteral("グループ"));
    PointAt(form.EditTargetMdbPassword);
    EXPECT_EQ(Status(), QString());
    PointAt(form.CheckBoxOptionAutoExit);
    EXPECT_EQ(Status(), QStringLiteral("グループ"));
    PointAt(form.BitBtn1);
    PointAt(form.GroupBox1, QPoint(form.GroupBox1->width() - 3, form.GroupBox1->height() - 3));
    EXPECT_EQ(Status(), QStringLiteral("グループ"));
    EXPECT_EQ(THintTracker::HintOf(form.CheckBoxOptionAutoExit), QStringLiteral("グループ"));
}

TEST_F(StatusHints, CompactionsFinalTextStaysUntilThePointerReachesAnotherHint)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("s.mdb"));
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ScopedFakeJetEngine engine;
    form.EditSourceMdbPath->setText(source);
    form.EditTargetMdbPath->setText(dir.filePath(QStringLiteral("t.mdb")));

    PointAt(form.BitBtn1);
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join("\n").toStdString();
    EXPECT_EQ(Status(), QStringLiteral("最適化処理を終了しました。"));
    // Moving about on the same button, or onto another control with the
    // same hint, changes nothing.
    PointAt(form.BitBtn1, QPoint(20, 10));
    auto *toolbarButton = form.ActionToolBar1->findChild<QToolButton *>(QStringLiteral("ActionTessivarToolButton"));
    ASSERT_NE(toolbarButton, nullptr);
    PointAt(toolbarButton);
    EXPECT_EQ(Status(), QStringLiteral("最適化処理を終了しました。"));
    PointAt(form.CheckBoxOptionAutoExit);
    EXPECT_EQ(Status(), QString());
}

TEST_F(StatusHints, HighlightedMenuItemsShowTheirLongHint)
{
    QMenu *file = form.MainMenu1->findChild<QMenu *>(QStringLiteral("F1"));
    ASSERT_NE(file, nullptr);
    form.MainMenu1->setActiveAction(file->menuAction());
    ASSERT_TRUE(QTest::qWaitFor([file] { return file->isVisible(); }, 2000));
    file->setActiveAction(form.ActionFileOpen);
    EXPECT_EQ(Status(), QStringLiteral("既存のファイルを開きます"));
    file->setActiveAction(form.ActionFileNew);
    EXPECT_EQ(Status(), QString()) << "New has no hint";
    file->setActiveAction(form.ActionFileCreateBat);
    EXPECT_EQ(Status(), QStringLiteral("バッチファイルを作成します。"));
    file->close();
    form.MainMenu1->setActiveAction(nullptr);
    QTest::qWait(20);
    EXPECT_EQ(Status(), QString()) << "closing the menu empties the hint";
}

}  // namespace
