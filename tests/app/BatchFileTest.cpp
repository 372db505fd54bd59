// The batch line and how its file is written.
#include "app/BatchFile.h"
#include "app/ProjectFileIni.h"
#include "platform/Exceptions.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "support/ScopedCharacterSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

namespace {

const QString kPartExecutable = QStringLiteral("C:\\Apps\\Tessivar.exe");

TProjectFile salesJob()
{
    return MakeProjectFile(QStringLiteral("C:\\Data\\Sales.mdb"), QString(),
                           QStringLiteral("C:\\Data\\Sales compact.mdb"), QString(), 5, true, false);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

unsigned modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return ~0u;
    return st.st_mode & 07777;
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : FOld(::umask(mask)) {}
    ~ScopedUmask() { ::umask(FOld); }

private:
    mode_t FOld;
};

}  // namespace

TEST(BatchLine, WorkedExampleExactly)
{
    EXPECT_EQ(ProjectFileToCommandLine(salesJob(), kPartExecutable),
              QStringLiteral("\"C:\\Apps\\Tessivar.exe\" \"-sf:C:\\Data\\Sales.mdb\" "
                             "\"-tf:C:\\Data\\Sales compact.mdb\" \"-et:5\" -oe -as"));
}

TEST(BatchLine, PasswordsAddTheirTokensInPlace)
{
    TProjectFile job = salesJob();
    job.FSourceMdbPassword = QStringLiteral("src pw");
    EXPECT_EQ(ProjectFileToCommandLine(job, kPartExecutable),
              QStringLiteral("\"C:\\Apps\\Tessivar.exe\" \"-sf:C:\\Data\\Sales.mdb\" \"-sp:src pw\" "
                             "\"-tf:C:\\Data\\Sales compact.mdb\" \"-et:5\" -oe -as"));
    job.FSourceMdbPassword.clear();
    job.FTargetMdbPassword = QStringLiteral("t:p");
    EXPECT_EQ(ProjectFileToCommandLine(job, kPartExecutable),
              QStringLiteral("\"C:\\Apps\\Tessivar.exe\" \"-sf:C:\\Data\\Sales.mdb\" "
                             "\"-tf:C:\\Data\\Sales compact.mdb\" \"-tp:t:p\" \"-et:5\" -oe -as"));
}

TEST(BatchLine, EngineTypeFourAutoExitOffEmptyTargetAndAutoStartIgnored)
{
    const TProjectFile job = MakeProjectFile(QStringLiteral("a.mdb"), QString(), QString(), QString(),
                                             4, false, false);
    const QString expected = QStringLiteral("\"/x/tessivar\" \"-sf:a.mdb\" \"-tf:\" \"-et:4\" -as");
    EXPECT_EQ(ProjectFileToCommandLine(job, QStringLiteral("/x/tessivar")), expected);
    TProjectFile autoStart = job;
    autoStart.FAutoStart = true;
    EXPECT_EQ(ProjectFileToCommandLine(autoStart, QStringLiteral("/x/tessivar")), expected);
}

TEST(BatchLine, DoubleQuotesAreDoubledAndWindowsSpecialsKept)
{
    EXPECT_EQ(FormatSwitch(QStringLiteral("sp"), QStringLiteral("a\"b")), QStringLiteral(" \"-sp:a\"\"b\""));
    EXPECT_EQ(FormatSwitch(QStringLiteral("tp"), QStringLiteral("%PATH% ^& a;b|c<d>e!")),
              QStringLiteral(" \"-tp:%PATH% ^& a;b|c<d>e!\""));
    EXPECT_EQ(FormatSwitch(QStringLiteral("sf"), QString()), QStringLiteral(" \"-sf:\""));
}

// What a POSIX shell would expand or take as an escape inside double quotes
// gets a backslash; a backslash the shell keeps as it is stays single.
TEST(BatchLine, ShellSpecialsAreEscaped)
{
    const struct {
        const char *value;
        const char *token;
    } cases[] = {
        {"$(rm -rf ~)", R"x( "-sp:\$(rm -rf ~)")x"},
        {"`id`", R"x( "-sp:\`id\`")x"},
        {"${HOME}$", R"x( "-sp:\${HOME}\$")x"},
        {R"x(C:\dir\file.mdb)x", R"x( "-sp:C:\dir\file.mdb")x"},
        {R"x(C:\dir\)x", R"x( "-sp:C:\dir\\")x"},
        {R"x(\\server\share)x", R"x( "-sp:\\\server\share")x"},
        {R"x(a\$b)x", R"x( "-sp:a\\\$b")x"},
        {R"x(a\`b)x", R"x( "-sp:a\\\`b")x"},
        {R"x(a\"b)x", R"x( "-sp:a\\""b")x"},
        {"a\\\nb", " \"-sp:a\\\\\nb\""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatSwitch(QStringLiteral("sp"), QString::fromUtf8(c.value)), QString::fromUtf8(c.token))
            << c.value;
    EXPECT_EQ(ProjectFileToCommandLine(salesJob(), QStringLiteral("/opt/$x/tessivar")).left(22),
              QStringLiteral("\"/opt/\\$x/tessivar\" \"-"));
}

TEST(BatchExecutable, IsTheRealFileOfThisProcess)
{
    const QString self = ExecutableFileName();
    EXPECT_TRUE(QFileInfo(self).isAbsolute());
    EXPECT_FALSE(QFileInfo(self).isSymLink());
    EXPECT_EQ(self, QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
}

TEST(BatchFileWrite, WorkedExampleWithOurExecutableNoBomNoLineBreak)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("job.bat"));
    ProjectFileToBat(salesJob(), name);
    EXPECT_EQ(readAll(name),
              "\"" + QFile::encodeName(ExecutableFileName()) +
                  "\" \"-sf:C:\\Data\\Sales.mdb\" \"-tf:C:\\Data\\Sales compact.mdb\" \"-et:5\" -oe -as");
}

TEST(BatchFileWrite, UsesTheLocaleCharacterSetWithQuestionMarks)
{
    const TProjectFile job = MakeProjectFile(QStringLiteral("/データ/売上.mdb"), QStringLiteral("é"),
                                             QStringLiteral("/t.mdb"), QString(), 5, false, false);
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("job.bat"));
    {
        ScopedCharacterSet utf8("C.UTF-8");
        ASSERT_TRUE(utf8.active());
        ProjectFileToBat(job, name, QStringLiteral("/t"));
        EXPECT_EQ(readAll(name), QStringLiteral("\"/t\" \"-sf:/データ/売上.mdb\" \"-sp:é\" \"-tf:/t.mdb\" "
                                                "\"-et:5\" -as")
                                     .toUtf8());
    }
    {
        ScopedCharacterSet ascii("C");
        ASSERT_TRUE(ascii.active());
        ProjectFileToBat(job, name, QStringLiteral("/t"));
        EXPECT_EQ(readAll(name),
                  QByteArray("\"/t\" \"-sf:/???" "/??.mdb\" \"-sp:?\" \"-tf:/t.mdb\" \"-et:5\" -as"));
    }
}

TEST(BatchFileWrite, ReplacesALongerFileWholeAndKeepsItsMode)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("job.bat"));
    writeAll(name, QByteArray(4096, 'x'));
    ASSERT_EQ(::chmod(QFile::encodeName(name).constData(), 0640), 0);
    ProjectFileToBat(salesJob(), name, kPartExecutable);
    EXPECT_EQ(readAll(name), ProjectFileToCommandLine(salesJob(), kPartExecutable).toUtf8());
    EXPECT_EQ(modeOf(name), 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("job.bat")});
}

TEST(BatchFileWrite, NewFileIsExecutableAsTheUmaskAllows)
{
    QTemporaryDir dir;
    {
        ScopedUmask mask(022);
        ProjectFileToBat(salesJob(), dir.filePath(QStringLiteral("a.bat")));
    }
    {
        ScopedUmask mask(077);
        ProjectFileToBat(salesJob(), dir.filePath(QStringLiteral("b.bat")));
    }
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("a.bat"))), 0755u);
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("b.bat"))), 0700u);
}

// Batch and settings files carry passwords in plain text: a new one that
// holds a password is readable by its owner only; others keep their modes.
TEST(BatchFileWrite, NewFilesHoldingAPasswordAreTheOwnersOnly)
{
    QTemporaryDir dir;
    TProjectFile withPassword = salesJob();
    withPassword.FTargetMdbPassword = QStringLiteral("secret");
    TProjectFile withSourcePassword = salesJob();
    withSourcePassword.FSourceMdbPassword = QStringLiteral("secret");
    {
        ScopedUmask mask(022);
        ProjectFileToBat(withPassword, dir.filePath(QStringLiteral("tp.bat")));
        ProjectFileToBat(withSourcePassword, dir.filePath(QStringLiteral("sp.bat")));
        ProjectFileToIni(withPassword, dir.filePath(QStringLiteral("tp.ini")));
        ProjectFileToIni(withSourcePassword, dir.filePath(QStringLiteral("sp.ini")));
        ProjectFileToIni(salesJob(), dir.filePath(QStringLiteral("none.ini")));
    }
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("tp.bat"))), 0700u);
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("sp.bat"))), 0700u);
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("tp.ini"))), 0600u);
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("sp.ini"))), 0600u);
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("none.ini"))), 0644u);
}

// The line cannot carry a double quote: the job would replay with another
// password or file, so nothing is written and an old file stays.
TEST(BatchFileWrite, DoubleQuoteInAPathOrPasswordIsRefused)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("job.bat"));
    writeAll(name, "old");
    for (int field = 0; field < 4; ++field) {
        TProjectFile job = salesJob();
        QString *const values[] = {&job.FSourceMdbPath, &job.FSourceMdbPassword, &job.FTargetMdbPath,
                                   &job.FTargetMdbPassword};
        *values[field] += QStringLiteral("a\"b");
        EXPECT_FALSE(BatchFileRefusal(job).isEmpty()) << field;
        EXPECT_THROW(ProjectFileToBat(job, name, kPartExecutable), EArgumentException) << field;
    }
    TProjectFile job = salesJob();
    job.FTargetMdbPassword = QStringLiteral("say \"hi\"");
    EXPECT_EQ(BatchFileRefusal(job),
              QStringLiteral("最適化したMDBファイルのパスワードに二重引用符 (\") が含まれています。"
                             "バッチファイルのコマンドラインでは二重引用符が失われて別の値になるため、"
                             "バッチファイルは作成しません。"));
    EXPECT_EQ(readAll(name), "old");
    EXPECT_TRUE(BatchFileRefusal(salesJob()).isEmpty());
}

TEST(BatchFileWrite, MissingFolderRaisesCreateErrorWithFullPath)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("no such folder/job.bat"));
    try {
        ProjectFileToBat(salesJob(), name);
        FAIL() << "no error for a missing folder";
    } catch (const EFCreateError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("ファイル \"%1\" を作成できません。%2")
                                   .arg(ExpandFileName(name), SysErrorMessage(ENOENT)));
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("no such folder"))));
}
