#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "support/TempFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using testfiles::readBytes;
using testfiles::writeBytes;

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode;
}

}  // namespace

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
