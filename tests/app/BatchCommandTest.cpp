// The main window's Create-batch command, run as the user runs it: the
// dialog (played by the test) accepts a name, then the handler writes.
#include "app/MessageBoxes.h"
#include "app/UnitFormMain.h"
#include "platform/Exceptions.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class BatchCommand : public ::testing::Test {
protected:
    BatchCommand()
        : FHook([this](MessageBoxKind kind, const QString &text) {
              (kind == MessageBoxKind::Warning ? warnings : errors) << text;
          })
    {
        EXPECT_TRUE(dir.isValid());
        source = dir.filePath(QStringLiteral("Sales.mdb"));
        QFile file(source);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        batchFile = dir.filePath(QStringLiteral("job.bat"));
        form.SetFileDialogRunner([this](QFileDialog *dialog) {
            ++dialogRuns;
            dialog->selectFile(chosenName);
            if (!folderToRemoveAfterDialog.isEmpty())
                QDir(folderToRemoveAfterDialog).removeRecursively();
            return true;
        });
        chosenName = batchFile;
    }

    void writeOldFile()
    {
        QFile file(batchFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old contents");
    }

    QTemporaryDir dir;
    QString source;
    QString batchFile;
    QString chosenName;
    QString folderToRemoveAfterDialog;
    int dialogRuns = 0;
    QStringList warnings;
    QStringList errors;
    TFormMain form;

private:
    ScopedMessageBoxHook FHook;
};

}  // namespace

TEST_F(BatchCommand, WritesTheJobTheWindowShows)
{
    form.EditSourceMdbPath->setText(source);
    form.EditSourceMdbPassword->setText(QStringLiteral("s;p"));
    form.EditTargetMdbPath->setText(QStringLiteral("/out/Sales compact.mdb"));
    form.EditTargetMdbPassword->setText(QStringLiteral("$tp"));
    form.ComboBoxEngineType->setCurrentIndex(0);
    form.CheckBoxOptionAutoExit->setChecked(false);
    writeOldFile();

    form.ActionFileCreateBat->trigger();
    EXPECT_EQ(dialogRuns, 1);
    EXPECT_TRUE(warnings.isEmpty());
    EXPECT_EQ(contentsOf(batchFile),
              "\"" + QFile::encodeName(ExecutableFileName()) + "\" \"-sf:" + QFile::encodeName(source) +
                  "\" \"-sp:s;p\" \"-tf:/out/Sales compact.mdb\" \"-tp:\\$tp\" \"-et:4\" -as");
}

TEST_F(BatchCommand, MissingSourceWarnsAndWritesNothing)
{
    form.EditSourceMdbPath->setText(dir.filePath(QStringLiteral("missing.mdb")));
    writeOldFile();
    form.ActionFileCreateBat->trigger();
    EXPECT_EQ(dialogRuns, 1) << "the dialog comes first";
    EXPECT_EQ(warnings, QStringList{QStringLiteral("変換するMDBファイルが見つかりません。")});
    EXPECT_EQ(contentsOf(batchFile), QByteArray("old contents"));
}

TEST_F(BatchCommand, PasswordWithADoubleQuoteWarnsAndWritesNothing)
{
    form.EditSourceMdbPath->setText(source);
    form.EditTargetMdbPassword->setText(QStringLiteral("a\"b"));
    writeOldFile();
    form.ActionFileCreateBat->trigger();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("最適化したMDBファイルのパスワードに二重引用符"))) << warnings[0].toStdString();
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(contentsOf(batchFile), QByteArray("old contents"));
}

TEST_F(BatchCommand, WriteErrorGoesToTheApplicationWideHandler)
{
    form.EditSourceMdbPath->setText(source);
    // The folder goes away between the dialog and the write.
    folderToRemoveAfterDialog = dir.filePath(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(folderToRemoveAfterDialog));
    chosenName = folderToRemoveAfterDialog + QStringLiteral("/job.bat");
    QTimer::singleShot(0, form.ActionFileCreateBat, &QAction::trigger);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !errors.isEmpty(); }, 5000));
    EXPECT_EQ(errors, QStringList{EFCreateError::ForFile(chosenName, ENOENT).Message()});
    EXPECT_TRUE(warnings.isEmpty());

    // Called directly, the handler lets the error out.
    form.ActionFileCreateBatDialog->SetFileName(chosenName);
    EXPECT_THROW(form.ActionFileCreateBatAccept(nullptr), EFCreateError);
}
