#include "app/FileDialog.h"
#include "app/MessageBoxes.h"
#include "app/UnitFormMain.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "support/TempFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <sys/stat.h>

using testfiles::readBytes;
using testfiles::writeBytes;

namespace {

class FormMainSettingsFileTest : public ::testing::Test {
protected:
    FormMainSettingsFileTest()
        : FHook([this](MessageBoxKind kind, const QString &text) { boxes.push_back({kind, text}); })
    {
    }

    QString path(const QString &name = QStringLiteral("job.ini")) const { return dir.filePath(name); }

    void showJob(const TProjectFile &job) { form.ProjectFileToControls(job); }
    TProjectFile shownJob() const { return form.ControlsToProjectFile(); }

    // Plays the user of the next file dialog: accepts `fileName`, or cancels
    // when it is empty. Remembers what the dialog was preset with.
    void answerDialogWith(const QString &fileName)
    {
        form.SetFileDialogRunner([this, fileName](QFileDialog *dialog) {
            const auto *fileDialog = static_cast<TFileDialog *>(dialog);
            presetFileName = fileDialog->FileName();
            presetFolder = fileDialog->InitialDir();
            if (fileName.isEmpty())
                return false;
            dialog->selectFile(fileName);
            return true;
        });
    }

    struct Box {
        MessageBoxKind kind;
        QString text;
    };

    QTemporaryDir dir;
    TFormMain form;
    std::vector<Box> boxes;
    QString presetFileName;
    QString presetFolder;

private:
    ScopedMessageBoxHook FHook;
};

const TProjectFile kJob = MakeProjectFile(QStringLiteral("/data/売上.mdb"), "sp", "/data/out.mdb", "tp", 4, true, false);

}  // namespace

TEST_F(FormMainSettingsFileTest, SaveAsThenNewThenOpenBringsTheJobBack)
{
    showJob(kJob);
    answerDialogWith(path());
    form.ActionFileSaveAs->trigger();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(readBytes(path()),
              "[SOURCE_MDB]\r\nPATH=/data/\xE5\xA3\xB2\xE4\xB8\x8A.mdb\r\nPASSWORD=sp\r\n\r\n"
              "[TARGET_MDB]\r\nPATH=/data/out.mdb\r\nPASSWORD=tp\r\nENGINE_TYPE=4\r\n\r\n"
              "[OPTION]\r\nAUTO_EXIT=1\r\n\r\n");
    EXPECT_EQ(form.ProjectFileName(), path());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tessivar - job.ini"));
    EXPECT_EQ(shownJob(), kJob) << "Save As leaves the window's job alone";

    const QByteArray saved = readBytes(path());
    form.ActionFileNew->trigger();
    EXPECT_EQ(shownJob(), DefaultProjectFile());
    EXPECT_EQ(form.ProjectFileName(), QString());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tessivar"));
    EXPECT_EQ(readBytes(path()), saved) << "New touches no file";

    answerDialogWith(path());
    form.ActionFileOpen->trigger();
    EXPECT_EQ(shownJob(), kJob);
    EXPECT_EQ(form.ProjectFileName(), path());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tessivar - job.ini"));
}

TEST_F(FormMainSettingsFileTest, SaveAsDialogStartsFromTheCurrentSettingsFile)
{
    answerDialogWith(QString());
    form.ActionFileSaveAs->trigger();
    EXPECT_EQ(presetFileName, QString());
    EXPECT_EQ(presetFolder, QString());

    writeBytes(path(), "");
    answerDialogWith(path());
    form.ActionFileOpen->trigger();
    answerDialogWith(QString());
    form.ActionFileSaveAs->trigger();
    EXPECT_EQ(presetFileName, path());
    EXPECT_EQ(presetFolder, dir.path());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("other.ini")))) << "a cancelled Save As writes nothing";

    QFile::remove(path());  // whether the file is still there is not asked
    form.SetProjectFileName(QStringLiteral("/a.ini"));
    form.ActionFileSaveAs->trigger();
    EXPECT_EQ(presetFileName, QStringLiteral("/a.ini"));
    EXPECT_EQ(presetFolder, QStringLiteral("/"));

    form.ActionFileNew->trigger();
    form.ActionFileSaveAs->trigger();
    EXPECT_EQ(presetFileName, QString());
    EXPECT_EQ(presetFolder, QString());
}

TEST_F(FormMainSettingsFileTest, FailedSaveAsWarnsAndKeepsNameAndFile)
{
    form.SetProjectFileName(path(QStringLiteral("before.ini")));
    const QByteArray old = "[OPTION]\r\nAUTO_EXIT=1\r\n";
    const QString readOnly = path(QStringLiteral("readonly.ini"));
    writeBytes(readOnly, old);
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);
    showJob(kJob);

    EXPECT_FALSE(form.SaveProjectFileAs(readOnly));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, MessageBoxKind::Warning);
    EXPECT_EQ(boxes[0].text, QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(readOnly, SysErrorMessage(EACCES)));
    EXPECT_EQ(readBytes(readOnly), old);
    EXPECT_EQ(form.ProjectFileName(), path(QStringLiteral("before.ini")));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tessivar - before.ini"));

    // Through the command the outcome is the same; nothing leaves it.
    answerDialogWith(path(QStringLiteral("missing/job.ini")));
    form.ActionFileSaveAs->trigger();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[1].text.startsWith(QStringLiteral("ファイル \"%1\" を作成できません。").arg(path(QStringLiteral("missing/job.ini")))));
    EXPECT_EQ(form.ProjectFileName(), path(QStringLiteral("before.ini")));
}

TEST_F(FormMainSettingsFileTest, OpenOfAFileWithABadEngineTypeStopsAtTheEngineType)
{
    form.SetProjectFileName(path(QStringLiteral("before.ini")));
    showJob(MakeProjectFile("", "", "", "", 5, true, false));
    writeBytes(path(), "[SOURCE_MDB]\r\nPATH=s\r\nPASSWORD=sp\r\n[TARGET_MDB]\r\nPATH=t\r\nPASSWORD=tp\r\n"
                       "ENGINE_TYPE=3\r\n[OPTION]\r\nAUTO_EXIT=0\r\n");
    form.ActionFileOpenDialog->SetFileName(path());
    try {
        form.ActionFileOpenAccept(form.ActionFileOpen);
        ADD_FAILURE() << "engine type 3 accepted";
    } catch (const EArgumentException &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("EngineTypeが不正な値です。"));
    }
    EXPECT_TRUE(boxes.empty()) << "Open shows no box of its own";
    EXPECT_EQ(shownJob(), MakeProjectFile("s", "sp", "t", "tp", 5, true, false));
    EXPECT_EQ(form.ProjectFileName(), path(QStringLiteral("before.ini")));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tessivar - before.ini"));
}

TEST_F(FormMainSettingsFileTest, OpenOfAMissingFileShowsDefaultsAndAnUnreadableOneChangesNothing)
{
    showJob(kJob);
    form.OpenProjectFile(path(QStringLiteral("gone.ini")));
    EXPECT_EQ(shownJob(), DefaultProjectFile());
    EXPECT_EQ(form.ProjectFileName(), path(QStringLiteral("gone.ini")));

    showJob(kJob);
    const QString huge = path(QStringLiteral("huge.ini"));
    writeBytes(huge, QByteArray(17 * 1024 * 1024, '\n'));
    EXPECT_THROW(form.OpenProjectFile(huge), EFOpenError);
    EXPECT_EQ(shownJob(), kJob);
    EXPECT_EQ(form.ProjectFileName(), path(QStringLiteral("gone.ini")));
}
