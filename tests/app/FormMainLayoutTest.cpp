// The main window's layout: places and sizes at 96 dpi, texts, anchors when
// resized, focus order, toolbar and menu contents.
#include "app/UnitFormMain.h"
#include "forms/AnchorLayout.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QRegularExpression>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class FormMainLayout : public ::testing::Test {
protected:
    FormMainLayout()
    {
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    // A control's rectangle in the client area (below the menu bar).
    QRect Client(const QWidget *widget) const
    {
        const QPoint topLeft = widget->mapTo(&form, QPoint(0, 0)) - QPoint(0, form.MainMenu1->height());
        return QRect(topLeft, widget->size());
    }

    QLabel *LabelOf(const QLineEdit *edit) const
    {
        return form.findChild<QLabel *>(edit->objectName() + QStringLiteral("Label"));
    }

    TFormMain form;
};

TEST_F(FormMainLayout, ClientAreaAndControlsStandWhereDesigned)
{
    EXPECT_EQ(form.width(), 587);
    EXPECT_EQ(form.height() - form.MainMenu1->height(), 347);
    EXPECT_EQ(Client(form.ActionToolBar1), QRect(0, 0, 587, 26));
    EXPECT_EQ(Client(form.EditSourceMdbPath), QRect(8, 56, 505, 21));
    EXPECT_EQ(Client(form.SpeedButton1), QRect(512, 55, 65, 22));
    EXPECT_EQ(Client(form.EditSourceMdbPassword), QRect(8, 104, 209, 21));
    EXPECT_EQ(Client(form.EditTargetMdbPath), QRect(8, 152, 505, 21));
    EXPECT_EQ(Client(form.SpeedButton2), QRect(512, 151, 65, 22));
    EXPECT_EQ(Client(form.Label1), QRect(240, 184, 123, 13));
    EXPECT_EQ(Client(form.EditTargetMdbPassword), QRect(8, 200, 209, 21));
    EXPECT_EQ(Client(form.ComboBoxEngineType), QRect(240, 200, 123, 21));
    EXPECT_EQ(Client(form.GroupBox1), QRect(8, 227, 569, 54));
    EXPECT_EQ(form.CheckBoxOptionAutoExit->geometry(), QRect(16, 24, 537, 17));
    EXPECT_EQ(Client(form.BitBtn1), QRect(480, 291, 97, 25));
    EXPECT_EQ(Client(form.StatusBar1), QRect(0, 328, 587, 19));

    // Each edit's label stands above it, left-aligned, 3 pixels apart.
    const int labelTops[] = {40, 88, 136, 184};
    int i = 0;
    for (QLineEdit *edit : {form.EditSourceMdbPath, form.EditSourceMdbPassword, form.EditTargetMdbPath,
                            form.EditTargetMdbPassword}) {
        const QLabel *label = LabelOf(edit);
        ASSERT_NE(label, nullptr) << edit->objectName().toStdString();
        EXPECT_EQ(Client(label).topLeft(), QPoint(8, labelTops[i++]));
        EXPECT_EQ(label->height(), 13);
        EXPECT_EQ(label->buddy(), edit);
    }
}

TEST_F(FormMainLayout, TextsAndStartState)
{
    EXPECT_EQ(LabelOf(form.EditSourceMdbPath)->text(), QStringLiteral("最適化するMDBファイルの場所"));
    EXPECT_EQ(LabelOf(form.EditSourceMdbPassword)->text(), QStringLiteral("最適化するMDBファイルのパスワード(あれば)"));
    EXPECT_EQ(LabelOf(form.EditTargetMdbPath)->text(), QStringLiteral("最適化したMDBファイルの保存場所"));
    EXPECT_EQ(LabelOf(form.EditTargetMdbPassword)->text(), QStringLiteral("最適化したMDBファイルのパスワード(あれば)"));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Jet OLEDB:Engine の種類"));
    EXPECT_EQ(form.GroupBox1->title(), QStringLiteral("オプション"));
    EXPECT_EQ(form.CheckBoxOptionAutoExit->text(), QStringLiteral("最適化が終わったら自動的に終了する"));
    EXPECT_EQ(form.BitBtn1->text(), QStringLiteral("最適化処理"));
    EXPECT_TRUE(form.BitBtn1->icon().isNull());
    for (QToolButton *browse : {form.SpeedButton1, form.SpeedButton2}) {
        EXPECT_EQ(browse->text(), QStringLiteral("参照"));
        EXPECT_EQ(browse->toolButtonStyle(), Qt::ToolButtonTextOnly) << "caption only, no glyph";
    }
    // Passwords are readable on the screen.
    EXPECT_EQ(form.EditSourceMdbPassword->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(form.EditTargetMdbPassword->echoMode(), QLineEdit::Normal);
    EXPECT_FALSE(form.ComboBoxEngineType->isEditable());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tessivar"));
    EXPECT_EQ(form.windowIcon().availableSizes().size(), 5);
    EXPECT_TRUE(form.StatusBar1->isSizeGripEnabled());
}

TEST_F(FormMainLayout, WindowFontIsTahomaEightPointAndBarsKeepTheSystemFont)
{
    EXPECT_EQ(form.EditSourceMdbPath->font().pointSize(), 8);
    EXPECT_EQ(form.EditSourceMdbPath->font().family(), QStringLiteral("Tahoma"));
    for (QWidget *bar : {static_cast<QWidget *>(form.StatusBar1), static_cast<QWidget *>(form.MainMenu1)}) {
        EXPECT_EQ(bar->font().family(), QApplication::font().family());
        EXPECT_EQ(bar->font().pointSize(), QApplication::font().pointSize());
    }
}

TEST_F(FormMainLayout, WideningStretchesPathsAndGroupAndMovesRightHandButtons)
{
    const auto before = [this](QWidget *w) { return Client(w); };
    QWidget *const fixed[] = {form.EditSourceMdbPassword, form.EditTargetMdbPassword, form.ComboBoxEngineType,
                              form.Label1, form.CheckBoxOptionAutoExit};
    std::vector<QRect> fixedBefore;
    for (QWidget *w : fixed)
        fixedBefore.push_back(before(w));

    form.resize(form.width() + 100, form.height());
    QCoreApplication::processEvents();

    EXPECT_EQ(Client(form.EditSourceMdbPath), QRect(8, 56, 605, 21));
    EXPECT_EQ(Client(form.EditTargetMdbPath), QRect(8, 152, 605, 21));
    EXPECT_EQ(Client(form.GroupBox1), QRect(8, 227, 669, 54));
    EXPECT_EQ(Client(form.SpeedButton1), QRect(612, 55, 65, 22));
    EXPECT_EQ(Client(form.SpeedButton2), QRect(612, 151, 65, 22));
    EXPECT_EQ(Client(form.BitBtn1), QRect(580, 291, 97, 25));
    for (std::size_t i = 0; i < std::size(fixed); ++i)
        EXPECT_EQ(Client(fixed[i]), fixedBefore[i]) << fixed[i]->objectName().toStdString();
    EXPECT_EQ(form.ActionToolBar1->width(), 687);
    EXPECT_EQ(form.StatusBar1->width(), 687);
}

TEST_F(FormMainLayout, HeightChangesMoveOnlyTheStatusBar)
{
    const QRect button = Client(form.BitBtn1);
    const QRect group = Client(form.GroupBox1);
    form.resize(form.width(), form.height() + 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(Client(form.BitBtn1), button);
    EXPECT_EQ(Client(form.GroupBox1), group);
    EXPECT_EQ(Client(form.StatusBar1), QRect(0, 378, 587, 19));
}

TEST(AnchorLayout, PlacesByAnchors)
{
    const QSize design(100, 50);
    const QSize wider(130, 70);
    EXPECT_EQ(TAnchorLayout::Place(QRect(10, 5, 20, 10), akLeft | akTop, design, wider), QRect(10, 5, 20, 10));
    EXPECT_EQ(TAnchorLayout::Place(QRect(10, 5, 20, 10), akLeft | akTop | akRight, design, wider),
              QRect(10, 5, 50, 10));
    EXPECT_EQ(TAnchorLayout::Place(QRect(10, 5, 20, 10), akTop | akRight, design, wider), QRect(40, 5, 20, 10));
    EXPECT_EQ(TAnchorLayout::Place(QRect(10, 5, 20, 10), akLeft | akBottom, design, wider), QRect(10, 25, 20, 10));
    // Shrinking below the design size never gives a negative width.
    EXPECT_EQ(TAnchorLayout::Place(QRect(10, 5, 20, 10), akLeft | akRight, design, QSize(50, 50)).width(), 0);
}

TEST_F(FormMainLayout, TabOrderRunsThroughTheSevenControlsAndWraps)
{
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), form.EditSourceMdbPath);
    QWidget *const order[] = {form.EditSourceMdbPassword, form.EditTargetMdbPath,     form.EditTargetMdbPassword,
                              form.ComboBoxEngineType,    form.CheckBoxOptionAutoExit, form.BitBtn1,
                              form.EditSourceMdbPath};
    for (QWidget *expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
    }
    EXPECT_EQ(form.SpeedButton1->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(form.SpeedButton2->focusPolicy(), Qt::NoFocus);
}

TEST_F(FormMainLayout, EnterAndEscapeTriggerNoCommand)
{
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QSignalSpy compaction(form.ActionTessivar, &QAction::triggered);
    form.EditSourceMdbPath->setFocus();
    QTest::keyClick(form.EditSourceMdbPath, Qt::Key_Return);
    QTest::keyClick(form.EditSourceMdbPath, Qt::Key_Escape);
    EXPECT_EQ(compaction.count(), 0);
    EXPECT_FALSE(form.BitBtn1->isDefault());
}

TEST_F(FormMainLayout, ToolbarHoldsItsSevenItemsAllVisible)
{
    const QList<QAction *> items = form.ActionToolBar1->actions();
    ASSERT_EQ(items.size(), 7);
    EXPECT_EQ(items[0], form.ActionFileNew);
    EXPECT_EQ(items[1], form.ActionFileOpen);
    EXPECT_EQ(items[2], form.ActionFileSaveAs);
    EXPECT_TRUE(items[3]->isSeparator());
    EXPECT_TRUE(items[5]->isSeparator());
    const auto button = [this](QAction *item) {
        return qobject_cast<QToolButton *>(form.ActionToolBar1->widgetForAction(item));
    };
    EXPECT_EQ(button(items[0])->text(), QStringLiteral("新規作成(&N)"));
    EXPECT_EQ(button(items[1])->text(), QStringLiteral("開く(&O)..."));
    EXPECT_EQ(button(items[2])->text(), QStringLiteral("名前を付けて保存(&A)..."));
    ASSERT_NE(button(items[4]), nullptr);
    EXPECT_EQ(button(items[4])->defaultAction(), form.ActionTessivar);
    EXPECT_EQ(button(items[4])->text(), QStringLiteral("最適化処理(&Z)"));
    EXPECT_EQ(button(items[6])->defaultAction(), form.ActionFileCreateBat);
    EXPECT_EQ(button(items[6])->text(), QStringLiteral("バッチファイルを作成(&Y)"));
    // The own captions survive a change of the command.
    form.ActionTessivar->setEnabled(false);
    form.ActionTessivar->setEnabled(true);
    EXPECT_EQ(button(items[4])->text(), QStringLiteral("最適化処理(&Z)"));
    for (QAction *item : items) {
        if (item->isSeparator())
            continue;
        const QToolButton *w = button(item);
        EXPECT_TRUE(w->isVisible()) << "hidden in the overflow: " << item->objectName().toStdString();
        EXPECT_FALSE(w->icon().isNull());
    }
}

TEST_F(FormMainLayout, MainMenuHoldsTheCommandsInTheirMenus)
{
    const QList<QAction *> top = form.MainMenu1->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0]->text(), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("MDBファイル(&M)"));
    EXPECT_EQ(top[2]->text(), QStringLiteral("ヘルプ(&H)"));
    const QList<QAction *> file = top[0]->menu()->actions();
    ASSERT_EQ(file.size(), 5);
    EXPECT_EQ(file[0], form.ActionFileNew);
    EXPECT_EQ(file[1], form.ActionFileOpen);
    EXPECT_EQ(file[2], form.ActionFileSaveAs);
    EXPECT_TRUE(file[3]->isSeparator());
    EXPECT_EQ(file[4], form.ActionFileCreateBat);
    const QList<QAction *> mdb = top[1]->menu()->actions();
    ASSERT_EQ(mdb.size(), 2);
    EXPECT_EQ(mdb[0]->text(), QStringLiteral("最適化するMDBファイル"));
    EXPECT_EQ(mdb[0]->menu()->actions(), QList<QAction *>{form.FileOpenSourceMdb});
    EXPECT_EQ(mdb[1]->text(), QStringLiteral("最適化したMDBファイル"));
    EXPECT_EQ(mdb[1]->menu()->actions(), QList<QAction *>{form.FileOpenTargetMdb});
    EXPECT_EQ(top[2]->menu()->actions(), (QList<QAction *>{form.ActionHelpShow, form.ActionHelpVersion}));
    // The compaction is reached through toolbar, button and F5 only.
    for (QMenu *menu : form.MainMenu1->findChildren<QMenu *>())
        EXPECT_FALSE(menu->actions().contains(form.ActionTessivar));
}

}  // namespace

TEST_F(FormMainLayout, NoMinimumSizeAndNoLengthLimitOnTheEdits)
{
    EXPECT_EQ(form.minimumSize(), QSize(0, 0));
    form.resize(40, 30);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.size(), QSize(40, 30));

    const QString longText(100000, u'あ');
    for (QLineEdit *edit : {form.EditSourceMdbPath, form.EditSourceMdbPassword, form.EditTargetMdbPath,
                            form.EditTargetMdbPassword}) {
        edit->setText(longText);
        EXPECT_EQ(edit->text().size(), longText.size()) << edit->objectName().toStdString();
    }
    EXPECT_EQ(form.ControlsToProjectFile().FTargetMdbPassword, longText);
}

// The help command has no shortcut key, so no page may promise one.
TEST_F(FormMainLayout, HelpHasNoShortcutAndNoPageSaysF1)
{
    EXPECT_TRUE(form.ActionHelpShow->shortcut().isEmpty());
    for (const char *page : {"packaging/man/tessivar.1", "packaging/man/ja/tessivar.1", "help/index.html"}) {
        QFile file(QStringLiteral(TESSIVAR_SOURCE_DIR "/") + QLatin1String(page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page;
        EXPECT_FALSE(QString::fromUtf8(file.readAll()).contains(QRegularExpression(QStringLiteral("\\bF1\\b"))))
            << page;
    }
}
