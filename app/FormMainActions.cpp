#include "app/FormMainActions.h"

#include <QAction>
#include <QFileDialog>
#include <QWidget>

namespace {

QAction *makeAction(QWidget *owner, const char *name, const QString &caption, const QString &hint)
{
    auto *action = new QAction(caption, owner);
    action->setObjectName(QLatin1String(name));
    action->setToolTip(hint);
    action->setStatusTip(hint);
    owner->addAction(action);
    return action;
}

const QString kMdbFilter = QStringLiteral("MDBファイル(*.MDB;*.ACCDB) (*.MDB *.ACCDB);;すべてのファイル(*.*) (*)");

QFileDialog *makeDialog(QWidget *owner, const char *name, QFileDialog::AcceptMode mode)
{
    auto *dialog = new QFileDialog(owner);
    dialog->setObjectName(QLatin1String(name));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setNameFilter(kMdbFilter);
    dialog->setDefaultSuffix(QStringLiteral("MDB"));
    return dialog;
}

}  // namespace

TFormMainActions CreateFormMainActions(QWidget *owner)
{
    TFormMainActions actions;
    actions.ActionTessivar = makeAction(owner, "ActionTessivar", QStringLiteral("最適化処理"),
                                        QStringLiteral("MDBファイルを最適化します"));
    actions.ActionTessivar->setShortcut(QKeySequence(Qt::Key_F5));
    actions.FileOpenSourceMdb = makeAction(owner, "FileOpenSourceMdb", QStringLiteral("参照"),
                                           QStringLiteral("最適化するMDBファイルを選択します。"));
    actions.FileOpenSourceMdb->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    actions.FileOpenTargetMdb = makeAction(owner, "FileOpenTargetMdb", QStringLiteral("参照"),
                                           QStringLiteral("最適化したMDBファイルのファイル名を選択します。"));
    actions.FileOpenTargetMdb->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    actions.ActionHelpShow = makeAction(owner, "ActionHelpShow", QStringLiteral("ヘルプ目次"), QString());
    return actions;
}

TFormMainDialogs CreateFormMainDialogs(QWidget *owner)
{
    TFormMainDialogs dialogs;
    dialogs.FileOpenSourceMdbDialog = makeDialog(owner, "FileOpenSourceMdbDialog", QFileDialog::AcceptOpen);
    dialogs.FileOpenTargetMdbDialog = makeDialog(owner, "FileOpenTargetMdbDialog", QFileDialog::AcceptSave);
    return dialogs;
}
