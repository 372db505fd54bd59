#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "support/TempFiles.h"

#include <QDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testfiles::readBytes;
using testfiles::writeBytes;

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode;
}

// Runs `body` in a child process and gives its exit status. Root writes into
// any folder, so the child drops to an unprivileged user first; then a
// folder's permission bits bind it as they bind a user. `fileSizeLimit` caps
// what the child may write (the write then fails with EFBIG).
int inUnprivilegedChild(const std::function<int()> &body, rlim_t fileSizeLimit = RLIM_INFINITY)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit {fileSizeLimit, fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(101);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A file everybody may write, in a folder that takes no new file from
// anybody but root (0555), or that is sticky and root's (01777), where only
// root may replace the file.
class LockedFolder : public ::testing::TestWithParam<mode_t> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FFolder = FDir.filePath("locked");
        ASSERT_TRUE(QDir().mkpath(FFolder));
        FFile = FFolder + "/a.ini";
        writeBytes(FFile, FOld);
        ASSERT_EQ(::chmod(QFile::encodeName(FFile).constData(), 0666), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(FFolder).constData(), GetParam()), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(FDir.path()).constData(), 0755), 0);
    }
    void TearDown() override { ::chmod(QFile::encodeName(FFolder).constData(), 0755); }

    int saveInChild(const QByteArray &bytes, rlim_t fileSizeLimit = RLIM_INFINITY)
    {
        return inUnprivilegedChild(
            [&] {
                try {
                    WriteFileAtomically(FFile, bytes);
                    return 0;
                } catch (const EFCreateError &) {
                    return 1;
                }
            },
            fileSizeLimit);
    }

    QTemporaryDir FDir;
    QString FFolder;
    QString FFile;
    const QByteArray FOld = QByteArray(100, 'o');
};

}  // namespace

TEST_P(LockedFolder, SaveRewritesTheFileInPlace)
{
    ASSERT_EQ(saveInChild("new"), 0);
    EXPECT_EQ(readBytes(FFile), "new");
    EXPECT_EQ(modeOf(FFile) & 07777, 0666u);
    EXPECT_EQ(testfiles::folderEntries(FFolder), QStringList{"a.ini"});
}

TEST_P(LockedFolder, FailedInPlaceWriteLeavesTheOldContent)
{
    EXPECT_EQ(saveInChild(QByteArray(10000, 'n'), 4096), 1);
    EXPECT_EQ(readBytes(FFile), FOld);
    EXPECT_EQ(testfiles::folderEntries(FFolder), QStringList{"a.ini"});
}

INSTANTIATE_TEST_SUITE_P(NotWritable, LockedFolder, ::testing::Values(mode_t{0555}));
INSTANTIATE_TEST_SUITE_P(StickyOfRoot, LockedFolder, ::testing::Values(mode_t{01777}));

TEST(WriteFileAtomically, ReplacesContentKeepingPermissionsAndLinks)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.ini");
    writeBytes(file, "old");
    ::chmod(QFile::encodeName(file).constData(), 0640);
    WriteFileAtomically(file, "new");
    EXPECT_EQ(readBytes(file), "new");
    EXPECT_EQ(modeOf(file) & 07777, 0640u);

    // Saving through a link replaces the file it names; the link stays.
    const QString link = dir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(file, link));
    WriteFileAtomically(link, "via link");
    EXPECT_TRUE(S_ISLNK(modeOf(link)));
    EXPECT_EQ(readBytes(file), "via link");
    EXPECT_EQ(testfiles::folderEntries(dir.path()), (QStringList{"a.ini", "link.ini"}));
}

TEST(WriteFileAtomically, LongestFileNameStillGetsATemporaryFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QString(255, u'n'));
    WriteFileAtomically(file, "x");
    EXPECT_EQ(readBytes(file), "x");
    EXPECT_EQ(testfiles::folderEntries(dir.path()).size(), 1);
}

TEST(WriteFileAtomically, FolderInTheWayIsACreateError)
{
    QTemporaryDir dir;
    try {
        WriteFileAtomically(dir.path(), "x");
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(dir.path(), SysErrorMessage(EISDIR)));
    }
}

TEST(ReadWholeFile, ReadsEverythingUpToTheLimit)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("f");
    const QByteArray bytes(200000, 'z');
    writeBytes(file, bytes);
    EXPECT_EQ(ReadWholeFile(file, bytes.size()), bytes);
    EXPECT_THROW(ReadWholeFile(file, bytes.size() - 1), EFOpenError);
    EXPECT_THROW(ReadWholeFile(dir.filePath("missing"), 10), EFOpenError);
}
