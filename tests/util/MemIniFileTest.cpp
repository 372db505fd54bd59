#include "util/MemIniFile.h"

#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "support/TempFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using testfiles::readBytes;
using testfiles::writeBytes;

namespace {

class MemIniFileTest : public ::testing::Test {
protected:
    QString path(const QString &name = QStringLiteral("job.ini")) const { return FDir.filePath(name); }
    // A document over a file holding exactly `bytes`.
    QString fileWith(const QByteArray &bytes, const QString &name = QStringLiteral("job.ini")) const
    {
        writeBytes(path(name), bytes);
        return path(name);
    }

    QTemporaryDir FDir;
};

const QByteArray kUtf8 = "UTF-8";

}  // namespace

TEST_F(MemIniFileTest, ParsesSectionsKeysCommentsAndStrayLines)
{
    const QString file = fileWith(
        "orphan=dropped\r\n"
        "; comment\r\n"
        "  [ source_mdb ]  \r\n"
        "\tpath = C:\\Data\\a.mdb ; old\r\n"
        "# not a comment=kept\r\n"
        "keyless line\r\n"
        "formula=a=b\r\n"
        "note=\xE3\x80\x80wide\xE3\x80\x80\r\n"  // U+3000 is no blank here
        "[\r\n"
        "[]\r\n"
        "empty=\r\n");
    const TMemIniFile ini(file, kUtf8);
    EXPECT_EQ(ini.ReadString("SOURCE_MDB", "PATH", "-"), "C:\\Data\\a.mdb ; old");
    EXPECT_EQ(ini.ReadString("Source_Mdb", "# NOT A COMMENT", "-"), "kept");
    EXPECT_EQ(ini.ReadString("SOURCE_MDB", "formula", "-"), "a=b");
    EXPECT_EQ(ini.ReadString("SOURCE_MDB", "note", "-"), QStringLiteral("\u3000wide\u3000"));
    EXPECT_EQ(ini.ReadString("SOURCE_MDB", "orphan", "-"), "-");
    EXPECT_EQ(ini.ReadString("SOURCE_MDB", "keyless line", "-"), "-");
    EXPECT_EQ(ini.ReadString("SOURCE_MDB", "[", "-"), "-");
    EXPECT_EQ(ini.ReadString("", "empty", "-"), "");
    EXPECT_EQ(ini.ReadString("", "missing", "-"), "-");
    EXPECT_EQ(ini.Text(),
              "[source_mdb]\r\npath=C:\\Data\\a.mdb ; old\r\n# not a comment=kept\r\nkeyless line\r\n"
              "formula=a=b\r\nnote=\u3000wide\u3000\r\n[\r\n\r\n[]\r\nempty=\r\n\r\n");
}

TEST_F(MemIniFileTest, SplitsLinesAtCrLfLoneCrLoneLfAndStopsAtNul)
{
    const TMemIniFile ini(fileWith(QByteArray("[s]\ra=1\nb=2\n\rc=3\r\n\r\nd=4\0e=5\r\n", 26)), kUtf8);
    EXPECT_EQ(ini.Text(), "[s]\r\na=1\r\nb=2\r\nc=3\r\nd=4\r\n\r\n");
}

TEST_F(MemIniFileTest, DuplicateSectionsAndKeysTheLastOneWins)
{
    TMemIniFile ini(fileWith("[SOURCE_MDB]\r\nPATH=first\r\n[OTHER]\r\nX=1\r\n"
                             "[source_mdb]\r\npath=second\r\nPath=third\r\nEND=1\r\n"),
                    kUtf8);
    EXPECT_EQ(ini.ReadString("SOURCE_MDB", "PATH", ""), "third");
    ini.WriteString("SOURCE_MDB", "PATH", "new");
    ini.WriteString("Other", "Y", "2");
    EXPECT_EQ(ini.Text(),
              "[SOURCE_MDB]\r\nPATH=first\r\n\r\n"
              "[OTHER]\r\nX=1\r\nY=2\r\n\r\n"
              "[source_mdb]\r\npath=second\r\nPATH=new\r\nEND=1\r\n\r\n");
}

TEST_F(MemIniFileTest, WritesKeepValuesVerbatimAndAppendMissingSections)
{
    TMemIniFile ini(path(), kUtf8);
    ini.WriteString("A", "k", " padded ");
    ini.WriteInteger("A", "n", -42);
    ini.WriteBool("B", "on", true);
    ini.WriteBool("B", "off", false);
    ini.WriteString("a", "K", "x=[y];z");
    EXPECT_EQ(ini.ReadString("A", "k", ""), "x=[y];z");
    EXPECT_EQ(ini.ReadInteger("A", "N", 0), -42);
    EXPECT_TRUE(ini.ReadBool("b", "ON", false));
    EXPECT_FALSE(ini.ReadBool("b", "OFF", true));
    ini.WriteString("A", "pad", " blank ");
    ini.UpdateFile();
    EXPECT_EQ(readBytes(path()), "[A]\r\nK=x=[y];z\r\nn=-42\r\npad= blank \r\n\r\n[B]\r\non=1\r\noff=0\r\n\r\n");
    // Blanks around a value are lost once the file is read again.
    EXPECT_EQ(TMemIniFile(path(), kUtf8).ReadString("A", "pad", ""), "blank");
}

// The value tables themselves are checked on the parser and on settings
// files; here only that a word gives back whichever default is asked for.
TEST_F(MemIniFileTest, ReadBoolGivesBackEitherDefaultForAWord)
{
    const TMemIniFile ini(fileWith("[V]\r\nt=true\r\nonm=-1\r\n"), kUtf8);
    EXPECT_FALSE(ini.ReadBool("V", "t", false));
    EXPECT_TRUE(ini.ReadBool("V", "t", true));
    EXPECT_TRUE(ini.ReadBool("V", "onm", false));
    EXPECT_EQ(ini.ReadInteger("V", "t", 7), 7);
}

TEST_F(MemIniFileTest, SavesBackInTheEncodingItWasLoadedWith)
{
    const QString text = QStringLiteral("[S]\r\nPATH=C:\\日本\\𠮷.mdb\r\n\r\n");
    const struct {
        const char *name;
        QByteArray bytes;
        TIniEncoding encoding;
    } cases[] = {
        {"utf8", "\xEF\xBB\xBF" + text.toUtf8(), TIniEncoding::Utf8},
        {"utf16le", QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2),
         TIniEncoding::Utf16LE},
        {"ansi", text.toUtf8(), TIniEncoding::Ansi},
    };
    for (const auto &c : cases) {
        TMemIniFile ini(fileWith(c.bytes, c.name), kUtf8);
        EXPECT_EQ(ini.Encoding(), c.encoding) << c.name;
        EXPECT_EQ(ini.ReadString("s", "path", ""), QStringLiteral("C:\\日本\\𠮷.mdb")) << c.name;
        ini.UpdateFile();
        EXPECT_EQ(readBytes(path(c.name)), c.bytes) << c.name;
    }
}

TEST_F(MemIniFileTest, ReadsAndWritesUtf16BigEndian)
{
    TMemIniFile ini(fileWith(QByteArray("\xFE\xFF\0[\0S\0]\0\n\0k\0=\x65\xE5\x67\x2C", 18)), kUtf8);
    EXPECT_EQ(ini.Encoding(), TIniEncoding::Utf16BE);
    EXPECT_EQ(ini.ReadString("S", "K", ""), QStringLiteral("日本"));
    ini.WriteString("S", "k", "A");
    ini.UpdateFile();
    EXPECT_EQ(readBytes(path()), QByteArray("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0A\0\r\0\n\0\r\0\n", 26));
}

TEST_F(MemIniFileTest, InvalidUtf8AfterTheMarkAndUtf16WithoutMarkReadAsEmpty)
{
    const QByteArray invalid[] = {
        "\xEF\xBB\xBF[S]\r\nk=\xC3\x28\r\n",          // bad continuation
        "\xEF\xBB\xBF[S]\r\nk=\xC0\xAF\r\n",          // overlong "/"
        "\xEF\xBB\xBF[S]\r\nk=\xED\xA0\x80\r\n",      // encoded surrogate
        "\xEF\xBB\xBF[S]\r\nk=\xF4\x90\x80\x80\r\n",  // above U+10FFFF
        "\xEF\xBB\xBF[S]\r\nk=\xE6\x97",              // cut short
    };
    for (const QByteArray &bytes : invalid) {
        const TMemIniFile ini(fileWith(bytes), kUtf8);
        EXPECT_EQ(ini.Encoding(), TIniEncoding::Utf8);
        EXPECT_EQ(ini.Text(), "") << bytes.toHex().constData();
    }
    const QString text = QStringLiteral("[S]\r\nk=v\r\n");
    const TMemIniFile noMark(fileWith(QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2)), kUtf8);
    EXPECT_EQ(noMark.Encoding(), TIniEncoding::Ansi);
    EXPECT_EQ(noMark.Text(), "");
}

TEST_F(MemIniFileTest, Cp932WithoutMarkThroughTheCodePage)
{
    // "データ\ソ表①": 5C as a trail byte of ソ and 表 must not be taken as "\".
    const QByteArray cp932 = "[SOURCE_MDB]\r\nPATH=C:\\\x83\x66\x81\x5B\x83\x5E\\\x83\x5C\x95\x5C\x87\x40.mdb\r\n\r\n";
    TMemIniFile ini(fileWith(cp932), "CP932");
    EXPECT_EQ(ini.ReadString("SOURCE_MDB", "PATH", ""), QStringLiteral("C:\\データ\\ソ表①.mdb"));
    ini.UpdateFile();
    EXPECT_EQ(readBytes(path()), cp932);
    // Characters the code page lacks become one "?" each.
    ini.WriteString("SOURCE_MDB", "PATH", QStringLiteral("𠮷한€"));
    ini.UpdateFile();
    EXPECT_EQ(readBytes(path()), "[SOURCE_MDB]\r\nPATH=???\r\n\r\n");
}

TEST_F(MemIniFileTest, NewFileIsWrittenInTheCodePageWithoutMark)
{
    TMemIniFile ini(path(), "CP932");
    EXPECT_EQ(ini.Encoding(), TIniEncoding::Unset);
    ini.WriteString("S", "K", QStringLiteral("表"));
    ini.UpdateFile();
    EXPECT_EQ(readBytes(path()), "[S]\r\nK=\x95\x5C\r\n\r\n");
    // An empty name or a folder is no file: an empty document, no error.
    EXPECT_EQ(TMemIniFile(QString()).Text(), "");
    EXPECT_EQ(TMemIniFile(FDir.path()).Text(), "");
}

TEST_F(MemIniFileTest, UnreadableFileRaisesOpenErrorWithFullPath)
{
    const QString relative = QStringLiteral("huge.ini");
    const QString full = path(relative);
    ASSERT_EQ(::truncate(QFile::encodeName(fileWith("", relative)).constData(), 17 * 1024 * 1024), 0);
    const QString saved = QDir::currentPath();
    QDir::setCurrent(FDir.path());
    try {
        TMemIniFile ini(relative);
        ADD_FAILURE() << "no error";
    } catch (const EFOpenError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("ファイル %1 は開けません。 %2 ").arg(full, SysErrorMessage(EFBIG)));
    }
    QDir::setCurrent(saved);
}

TEST_F(MemIniFileTest, FileWithoutReadPermissionRaisesOpenError)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any file; the permission case needs an ordinary user";
    const QString locked = fileWith("[S]\r\n", QStringLiteral("locked.ini"));
    ::chmod(QFile::encodeName(locked).constData(), 0);
    try {
        TMemIniFile ini(locked);
        ADD_FAILURE() << "no error";
    } catch (const EFOpenError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("ファイル %1 は開けません。 %2 ").arg(locked, SysErrorMessage(EACCES)));
    }
}

TEST_F(MemIniFileTest, FailedSaveRaisesCreateErrorAndKeepsTheOldFile)
{
    const QString missing = path(QStringLiteral("no/such/folder/job.ini"));
    TMemIniFile lost(missing);
    lost.WriteString("S", "K", "V");
    try {
        lost.UpdateFile();
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(missing, SysErrorMessage(ENOENT)));
    }

    const QByteArray old = "[S]\r\nK=old\r\n";
    const QString readOnly = fileWith(old, QStringLiteral("readonly.ini"));
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);
    TMemIniFile ini(readOnly);
    ini.WriteString("S", "K", "new");
    try {
        ini.UpdateFile();
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(readOnly, SysErrorMessage(EACCES)));
    }
    EXPECT_EQ(readBytes(readOnly), old);
    EXPECT_EQ(testfiles::folderEntries(FDir.path()), QStringList{"readonly.ini"});
}

// A write that fails halfway (the disk fills up) must leave the old file as
// it was. A file-size limit makes write() fail the way a full disk does.
TEST_F(MemIniFileTest, WriteErrorHalfwayLeavesTheOldFileIntact)
{
    const QByteArray old = "[S]\r\nK=old\r\n";
    const QString file = fileWith(old);
    TMemIniFile ini(file);
    ini.WriteString("S", "K", QString(4096, u'x'));

    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    bool raised = false;
    try {
        ini.UpdateFile();
    } catch (const EFCreateError &e) {
        raised = true;
        EXPECT_TRUE(e.Message().endsWith(SysErrorMessage(EFBIG))) << e.Message().toStdString();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(raised);
    EXPECT_EQ(readBytes(file), old);
    EXPECT_EQ(testfiles::folderEntries(FDir.path()), QStringList{"job.ini"});
}
