// The nine commands: their table, tooltips with shortcut text, shortcuts
// that work from inside edits, and the settings and behaviour of the five
// file dialogs.
#include "app/MessageBoxes.h"
#include "app/UnitFormMain.h"

#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QHeaderView>
#include <QMessageBox>
#include <QTreeView>
#include <QFontInfo>
#include <QComboBox>
#include <QFile>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

class Commands : public ::testing::Test {
protected:
    Commands()
    {
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        // Every dialog "cancels" unless a test says otherwise, and says which ran.
        form.SetFileDialogRunner([this](QFileDialog *dialog) {
            ranDialogs << dialog->objectName();
            return false;
        });
    }

    QString ExistingFile(const QString &name)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }

    QToolButton *ToolButtonFor(QAction *action)
    {
        for (QAction *item : form.ActionToolBar1->actions())
            if (auto *button = qobject_cast<QToolButton *>(form.ActionToolBar1->widgetForAction(item));
                button && button->defaultAction() == action)
                return button;
        return nullptr;
    }

    // The tooltip a widget shows when the pointer rests on it; empty for none.
    static QString TooltipShownBy(QWidget *widget)
    {
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), widget->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(widget, &event);
        const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        return text;
    }

    QTemporaryDir dir;
    TFormMain form;
    QStringList ranDialogs;
    QStringList warnings;
    ScopedMessageBoxHook boxes{[this](MessageBoxKind, const QString &text) { warnings << text; }};
};

struct Expected {
    const char *name;
    QString category;
    QString caption;
    QString shortcut;
    int image;
    QString shortHint;
    QString longHint;
};

TEST_F(Commands, TableGivesNamesCaptionsCategoriesShortcutsGlyphsAndHints)
{
    const Expected table[] = {
        {"ActionTessivar", "最適化", "最適化処理", "F5", 2, "MDBファイルを最適化します", "MDBファイルを最適化します"},
        {"FileOpenSourceMdb", "最適化元MDBファイル", "参照", "Ctrl+P", 0, "最適化するMDBファイルを選択します。",
         "最適化するMDBファイルを選択します。"},
        {"FileOpenTargetMdb", "最適化先MDBファイル", "参照", "Ctrl+Q", 0,
         "最適化したMDBファイルのファイル名を選択します。", "最適化したMDBファイルのファイル名を選択します。"},
        {"ActionFileNew", "ファイル", "新規作成(&N)", "Ctrl+N", 3, "", ""},
        {"ActionFileOpen", "ファイル", "開く(&O)...", "Ctrl+O", 0, "開く", "既存のファイルを開きます"},
        {"ActionFileSaveAs", "ファイル", "名前を付けて保存(&A)...", "Ctrl+S", 1, "名前を付けて保存",
         "アクティブ ファイルを新しい名前で保存します"},
        {"ActionFileCreateBat", "ファイル", "バッチファイルを作成", "", 4, "バッチファイルを作成します。",
         "バッチファイルを作成します。"},
        {"ActionHelpVersion", "ヘルプ", "バージョン情報", "", -1, "", ""},
        {"ActionHelpShow", "ヘルプ", "ヘルプ目次", "", -1, "", ""},
    };
    const QList<QAction *> &actions = form.ActionManager1->Actions();
    ASSERT_EQ(actions.size(), 9);
    EXPECT_EQ(form.ActionManager1->objectName(), QStringLiteral("ActionManager1"));
    for (const Expected &e : table) {
        SCOPED_TRACE(e.name);
        QAction *action = form.findChild<QAction *>(QLatin1StringView(e.name));
        ASSERT_NE(action, nullptr);
        EXPECT_TRUE(actions.contains(action));
        EXPECT_EQ(TActionManager::CategoryOf(action), e.category);
        EXPECT_EQ(action->text(), e.caption);
        EXPECT_EQ(action->shortcut().toString(QKeySequence::PortableText), e.shortcut);
        EXPECT_EQ(TActionManager::ImageIndexOf(action), e.image);
        EXPECT_EQ(action->icon().isNull(), e.image < 0);
        EXPECT_EQ(GetShortHint(TActionManager::HintOf(action)), e.shortHint);
        EXPECT_EQ(action->statusTip(), e.longHint);
        EXPECT_TRUE(action->isEnabled());
        EXPECT_TRUE(form.actions().contains(action)) << "window-wide shortcut";
    }
}

TEST(Hints, SplitAtTheFirstBar)
{
    EXPECT_EQ(GetShortHint(QStringLiteral("a|b|c")), QStringLiteral("a"));
    EXPECT_EQ(GetLongHint(QStringLiteral("a|b|c")), QStringLiteral("b|c"));
    EXPECT_EQ(GetShortHint(QStringLiteral("both")), QStringLiteral("both"));
    EXPECT_EQ(GetLongHint(QStringLiteral("both")), QStringLiteral("both"));
    EXPECT_EQ(GetLongHint(QStringLiteral("short|")), QString());
    EXPECT_EQ(TooltipText(QStringLiteral("x"), QKeySequence()), QStringLiteral("x"));
    EXPECT_EQ(TooltipText(QString(), QKeySequence(Qt::Key_F5)), QString());
}

TEST_F(Commands, TooltipsShowTheShortHintAndTheShortcut)
{
    EXPECT_EQ(TooltipShownBy(form.BitBtn1), QStringLiteral("MDBファイルを最適化します (F5)"));
    EXPECT_EQ(form.BitBtn1->statusTip(), QStringLiteral("MDBファイルを最適化します"));
    EXPECT_EQ(TooltipShownBy(ToolButtonFor(form.ActionFileOpen)), QStringLiteral("開く (Ctrl+O)"));
    EXPECT_EQ(TooltipShownBy(ToolButtonFor(form.ActionFileSaveAs)), QStringLiteral("名前を付けて保存 (Ctrl+S)"));
    EXPECT_EQ(TooltipShownBy(ToolButtonFor(form.ActionTessivar)), QStringLiteral("MDBファイルを最適化します (F5)"));
    EXPECT_EQ(TooltipShownBy(ToolButtonFor(form.ActionFileCreateBat)), QStringLiteral("バッチファイルを作成します。"));
    EXPECT_EQ(TooltipShownBy(form.SpeedButton1), QStringLiteral("最適化するMDBファイルを選択します。 (Ctrl+P)"));
    EXPECT_EQ(TooltipShownBy(form.SpeedButton2),
              QStringLiteral("最適化したMDBファイルのファイル名を選択します。 (Ctrl+Q)"));
    // A command without a hint gives no tooltip, not its caption.
    EXPECT_EQ(TooltipShownBy(ToolButtonFor(form.ActionFileNew)), QString());
    // The tooltip follows a changed shortcut.
    form.ActionFileOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    EXPECT_EQ(form.ActionFileOpen->toolTip(), QStringLiteral("開く (Ctrl+Shift+O)"));
}

TEST_F(Commands, ShortcutsWorkFromEveryControlIncludingEdits)
{
    QSignalSpy compaction(form.ActionTessivar, &QAction::triggered);
    QWidget *const controls[] = {form.EditSourceMdbPath, form.EditSourceMdbPassword, form.EditTargetMdbPath,
                                 form.EditTargetMdbPassword, form.ComboBoxEngineType};
    for (QWidget *control : controls) {
        SCOPED_TRACE(control->objectName().toStdString());
        control->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), control);
        ranDialogs.clear();
        const int before = compaction.count();
        form.EditSourceMdbPath->setText(QString());  // the compaction stops at its check
        QTest::keyClick(control, Qt::Key_F5);
        EXPECT_EQ(compaction.count(), before + 1);
        QTest::keyClick(control, Qt::Key_P, Qt::ControlModifier);
        QTest::keyClick(control, Qt::Key_Q, Qt::ControlModifier);
        QTest::keyClick(control, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(control, Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(ranDialogs, (QStringList{"FileOpenSourceMdbDialog", "FileOpenTargetMdbDialog",
                                           "ActionFileOpenDialog", "ActionFileSaveAsDialog"}));
    }
}

TEST_F(Commands, WindowCommandsWinOverKeysAnEditClaimsForItself)
{
    // Ctrl+Z is an edit's undo key: a window command on it must still run.
    QAction undoLike(&form);
    undoLike.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    form.addAction(&undoLike);
    QSignalSpy spy(&undoLike, &QAction::triggered);
    form.EditTargetMdbPassword->setFocus();
    QTest::keyClick(form.EditTargetMdbPassword, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(spy.count(), 1);
    // Keys no command uses still reach the edit.
    form.EditTargetMdbPassword->setText(QStringLiteral("abc"));
    QTest::keyClick(form.EditTargetMdbPassword, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(form.EditTargetMdbPassword->selectedText(), QStringLiteral("abc"));
}

TEST_F(Commands, FileDialogsCarryTheirSettings)
{
    struct DialogExpectation {
        TFileDialog *dialog;
        QFileDialog::AcceptMode mode;
        QFileDialog::FileMode fileMode;
        QString suffix;
        QStringList filters;
        bool confirmOverwrite;
        bool createPrompt;
    };
    const QStringList mdb{"MDBファイル(*.MDB;*.ACCDB) (*.MDB *.ACCDB)", "すべてのファイル(*.*) (*)"};
    const QStringList ini{"設定ファイル(*.INI) (*.INI)", "すべてのファイル(*.*) (*)"};
    const QStringList bat{"バッチファイル(*.BAT) (*.BAT)", "すべてのファイル(*.*) (*)"};
    const DialogExpectation table[] = {
        {form.FileOpenSourceMdbDialog, QFileDialog::AcceptOpen, QFileDialog::ExistingFile, "MDB", mdb, false, false},
        {form.FileOpenTargetMdbDialog, QFileDialog::AcceptSave, QFileDialog::AnyFile, "MDB", mdb, true, true},
        {form.ActionFileOpenDialog, QFileDialog::AcceptOpen, QFileDialog::ExistingFile, "INI", ini, false, false},
        {form.ActionFileSaveAsDialog, QFileDialog::AcceptSave, QFileDialog::AnyFile, "INI", ini, true, false},
        {form.ActionFileCreateBatDialog, QFileDialog::AcceptSave, QFileDialog::AnyFile, "BAT", bat, true, false},
    };
    for (const DialogExpectation &e : table) {
        SCOPED_TRACE(e.dialog->objectName().toStdString());
        EXPECT_EQ(e.dialog->acceptMode(), e.mode);
        EXPECT_EQ(e.dialog->fileMode(), e.fileMode);
        EXPECT_EQ(e.dialog->defaultSuffix(), e.suffix);
        EXPECT_EQ(e.dialog->DefaultExt(), QLatin1Char('.') + e.suffix);
        EXPECT_EQ(e.dialog->nameFilters(), e.filters);
        EXPECT_EQ(e.dialog->FilterIndex(), 1);
        EXPECT_EQ(!e.dialog->testOption(QFileDialog::DontConfirmOverwrite), e.confirmOverwrite);
        EXPECT_EQ(e.dialog->Options().CreatePrompt, e.createPrompt);
        EXPECT_TRUE(e.dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_TRUE(e.dialog->isSizeGripEnabled());
    }
    // What the user sees in the type list is exactly the description.
    form.FileOpenSourceMdbDialog->Execute();
    const auto *types = form.FileOpenSourceMdbDialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(types->itemText(0), QStringLiteral("MDBファイル(*.MDB;*.ACCDB)"));
    EXPECT_EQ(types->itemText(1), QStringLiteral("すべてのファイル(*.*)"));
}

TEST(FileDialogFilter, BecomesQtNameFilters)
{
    EXPECT_EQ(QtNameFilters(QStringLiteral("A(*.X;*.Y)|*.X;*.Y|すべて(*.*)|*.*")),
              (QStringList{"A(*.X;*.Y) (*.X *.Y)", "すべて(*.*) (*)"}));
    EXPECT_EQ(QtNameFilters(QStringLiteral("odd|*.a|dangling")), QStringList{"odd (*.a)"});
    EXPECT_TRUE(QtNameFilters(QString()).isEmpty());
}

TEST_F(Commands, CancellingABrowseDialogLeavesTheEditAlone)
{
    const QString source = ExistingFile(QStringLiteral("s.mdb"));
    const QString other = ExistingFile(QStringLiteral("other.mdb"));
    form.EditSourceMdbPath->setText(source);
    // A real modal run: the user picks another file, then cancels.
    QTimer::singleShot(50, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(other);
        dialog->reject();
    });
    form.SetFileDialogRunner(nullptr);
    form.FileOpenSourceMdb->trigger();
    EXPECT_EQ(form.EditSourceMdbPath->text(), source);
    EXPECT_FALSE(form.FileOpenSourceMdb->ExecuteResult());
    EXPECT_EQ(form.FileOpenSourceMdbDialog->FileName(), source) << "the dialog keeps its preset name";
}

TEST_F(Commands, OpenDialogRemembersItsAcceptedNameAndFilter)
{
    const QString first = ExistingFile(QStringLiteral("first.ini"));
    QStringList shownNames;
    QStringList shownFilters;
    bool accept = true;
    form.SetFileDialogRunner([&](QFileDialog *dialog) {
        shownNames << dialog->selectedFiles().value(0);
        shownFilters << dialog->selectedNameFilter();
        dialog->selectFile(first);
        dialog->selectNameFilter(dialog->nameFilters().value(1));
        return accept;
    });
    form.ActionFileOpen->trigger();
    EXPECT_TRUE(form.ActionFileOpen->ExecuteResult());
    EXPECT_EQ(form.ActionFileOpenDialog->FilterIndex(), 2);
    accept = false;
    form.ActionFileOpen->trigger();
    form.ActionFileOpen->trigger();
    ASSERT_EQ(shownNames.size(), 3);
    EXPECT_NE(shownNames[0], first);
    EXPECT_EQ(shownNames[1], first) << "a second run starts from the accepted file";
    EXPECT_EQ(shownNames[2], first) << "a cancelled run changes nothing";
    EXPECT_TRUE(shownFilters[0].startsWith(QStringLiteral("設定ファイル(*.INI)"))) << shownFilters[0].toStdString();
    EXPECT_TRUE(shownFilters[1].startsWith(QStringLiteral("すべてのファイル(*.*)"))) << shownFilters[1].toStdString();
}

TEST_F(Commands, DialogCommandsRunBeforeDialogAndAcceptSteps)
{
    QStringList steps;
    form.ActionFileSaveAs->OnBeforeExecute = [&](QObject *sender) {
        EXPECT_EQ(sender, form.ActionFileSaveAs);
        steps << "before";
        form.ActionFileSaveAsDialog->SetFileName(dir.filePath(QStringLiteral("preset.ini")));
    };
    form.ActionFileSaveAs->OnAccept = [&](QObject *) {
        steps << "accept:" + QFileInfo(form.ActionFileSaveAsDialog->FileName()).fileName();
    };
    bool accept = false;
    form.SetFileDialogRunner([&](QFileDialog *dialog) {
        steps << "dialog:" + QFileInfo(dialog->selectedFiles().value(0)).fileName();
        return accept;
    });
    QTest::keyClick(form.EditSourceMdbPath, Qt::Key_S, Qt::ControlModifier);
    accept = true;
    QTest::keyClick(form.EditSourceMdbPath, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(steps, (QStringList{"before", "dialog:preset.ini", "before", "dialog:preset.ini",
                                  "accept:preset.ini"}))
        << steps.join("/").toStdString();
}

class CreatePrompt : public ::testing::Test {
protected:
    CreatePrompt()
    {
        TFileDialog::SetCreateQuestion([this](QWidget *, const QString &fileName) {
            asked << QFileInfo(fileName).fileName();
            return answer;
        });
    }
    ~CreatePrompt() override { TFileDialog::SetCreateQuestion(nullptr); }

    // Opens the target dialog, types the name and presses the accept button.
    bool Accepts(const QString &fileName)
    {
        dialog.open();
        dialog.selectFile(fileName);
        dialog.accept();
        const bool accepted = dialog.result() == QDialog::Accepted && !dialog.isVisible();
        dialog.hide();
        dialog.setResult(0);
        return accepted;
    }

    QTemporaryDir dir;
    TFileDialog dialog{nullptr, QFileDialog::AcceptSave, TFileDialogOptions{false, true, true}};
    QStringList asked;
    bool answer = false;
};

TEST_F(CreatePrompt, AsksBeforeAcceptingANameThatDoesNotExist)
{
    dialog.setOption(QFileDialog::DontConfirmOverwrite);  // only the create question here
    const QString missing = dir.filePath(QStringLiteral("new.mdb"));
    EXPECT_FALSE(Accepts(missing)) << "No keeps the dialog open";
    answer = true;
    EXPECT_TRUE(Accepts(missing));
    EXPECT_EQ(asked, (QStringList{"new.mdb", "new.mdb"}));

    QFile existing(dir.filePath(QStringLiteral("old.mdb")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    asked.clear();
    EXPECT_TRUE(Accepts(existing.fileName()));
    EXPECT_TRUE(asked.isEmpty()) << "an existing file is not a new one";
}

TEST(FileDialogUse, ColumnsAreReadableCompletionNeedsNoPopupAndCreatingIsTheDefault)
{
    TFileDialog dialog(nullptr, QFileDialog::AcceptSave, TFileDialogOptions{false, true, true});
    bool ran = false;
    dialog.SetRunner([&](TFileDialog *shown) {
        ran = true;
        EXPECT_GE(shown->width(), 760);
        EXPECT_GE(shown->findChild<QTreeView *>(QStringLiteral("treeView"))->header()->sectionSize(0), 340);
        EXPECT_EQ(shown->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->completer()->completionMode(),
                  QCompleter::InlineCompletion);
        return false;
    });
    dialog.Execute();
    EXPECT_TRUE(ran);

    // The platform's question, answered by what Enter gives.
    QTemporaryDir dir;
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.open();
    dialog.selectFile(dir.filePath(QStringLiteral("new.mdb")));
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        defaultButton = box->standardButton(box->defaultButton());
        (box->defaultButton() ? box->defaultButton() : box->button(QMessageBox::No))->click();
    });
    dialog.accept();
    EXPECT_EQ(defaultButton, QMessageBox::Yes);
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << "the default answer goes on";
}

TEST(SystemFont, AFixedPitchSystemFaceGivesWayToTheFormsFaceAtItsSize)
{
    QFont proportional(QStringLiteral("DejaVu Sans"));
    proportional.setPointSize(9);
    EXPECT_EQ(ProportionalSystemFont(proportional), proportional);
    QFont fixed(QStringLiteral("DejaVu Sans Mono"));
    fixed.setStyleHint(QFont::Monospace);
    fixed.setPointSize(9);
    ASSERT_TRUE(QFontInfo(fixed).fixedPitch()) << "no fixed-pitch face on this machine";
    // Japanese faces with half-width Latin letters, as fontconfig gives them for ja.
    QFont japanese(QStringLiteral("IPAGothic"));
    if (QFontInfo(japanese).family() == QStringLiteral("IPAGothic")) {
        EXPECT_EQ(ProportionalSystemFont(japanese).family(), FormMainFont().family());
    }
    const QFont chosen = ProportionalSystemFont(fixed);
    EXPECT_EQ(chosen.family(), FormMainFont().family());
    EXPECT_EQ(chosen.pointSize(), 9);
}

}  // namespace
