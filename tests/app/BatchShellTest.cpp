// A batch file run by a real POSIX shell hands the program exactly the
// arguments its line stands for, and runs nothing else. A stand-in program
// records the arguments it gets.
#include "BatchTestSupport.h"
#include "app/BatchFile.h"
#include "platform/AnsiCodePage.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

using batchtest::ScopedCharacterSet;
using batchtest::shellCases;
using batchtest::ShellCase;

// Writes each argument followed by a NUL byte into the file "args" beside it.
const char kRecorderScript[] = "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"${0%/*}/args\"\n";

std::string shown(const QStringList &arguments)
{
    return ("[" + arguments.join(QStringLiteral("] [")) + "]").toStdString();
}

class BatchShell : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        // The program's own folder has blanks and shell specials in its name too.
        FProgramDir = FDir.filePath(QStringLiteral("bin $x `y` \\z"));
        ASSERT_TRUE(QDir().mkpath(FProgramDir));
        FProgram = FProgramDir + QStringLiteral("/recorder");
        QFile script(FProgram);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(kRecorderScript);
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // Runs `shell` on the batch file from inside the temporary folder, so a
    // stray command would leave its marker there. Answers the arguments the
    // program got, decoded from `codePage`, each in brackets.
    std::string run(const QString &shell, const QStringList &shellArgs, const QByteArray &codePage = "UTF-8",
                    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        QFile::remove(FProgramDir + QStringLiteral("/args"));
        QProcess process;
        process.setWorkingDirectory(FDir.path());
        process.setProcessEnvironment(environment);
        process.start(shell, shellArgs);
        EXPECT_TRUE(process.waitForFinished(10000)) << qPrintable(shell);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
        QFile args(FProgramDir + QStringLiteral("/args"));
        if (!args.open(QIODevice::ReadOnly))
            return "<program did not run>";
        QStringList list = AnsiToUnicode(args.readAll(), codePage).split(QChar(0));
        list.removeLast();  // after the last NUL
        return shown(list);
    }

    QStringList markers() const
    {
        return QDir(FDir.path()).entryList({QStringLiteral("marker*")}, QDir::Files);
    }

    QTemporaryDir FDir;
    QString FProgramDir;
    QString FProgram;
};

}  // namespace

TEST_F(BatchShell, ShellHandsOverExactlyTheWrittenArguments)
{
    ScopedCharacterSet utf8("C.UTF-8");
    ASSERT_TRUE(utf8.active());
    const QString batchFile = FDir.filePath(QStringLiteral("job.bat"));
    const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
    for (const ShellCase &c : shellCases()) {
        const TProjectFile job = MakeProjectFile(c.sourcePath, c.sourcePassword, c.targetPath,
                                                 c.targetPassword, 4, true, false);
        ProjectFileToBat(job, batchFile, FProgram);
        const std::string expected =
            shown({QStringLiteral("-sf:") + c.sourcePath, QStringLiteral("-sp:") + c.sourcePassword,
                   QStringLiteral("-tf:") + c.targetPath, QStringLiteral("-tp:") + c.targetPassword,
                   QStringLiteral("-et:4"), QStringLiteral("-oe"), QStringLiteral("-as")});
        EXPECT_EQ(run(QStringLiteral("/bin/sh"), {batchFile}), expected) << c.name << " (sh job.bat)";
        EXPECT_EQ(run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("./job.bat")}),
                  expected)
            << c.name << " (./job.bat)";
        if (!bash.isEmpty()) {
            EXPECT_EQ(run(bash, {batchFile}), expected) << c.name << " (bash job.bat)";
        }
        EXPECT_EQ(shown(markers()), "[]") << c.name;
    }
}

// The line loses a double quote on the way back, as the program's own
// command-line cutting does: the shell agrees with it.
TEST_F(BatchShell, DoubleQuoteInPasswordIsLostTheSameWay)
{
    const QString batchFile = FDir.filePath(QStringLiteral("job.bat"));
    const TProjectFile job = MakeProjectFile(QStringLiteral("/a.mdb"), QStringLiteral("say \"hi\"\\"),
                                             QString(), QStringLiteral("\"\""), 5, false, false);
    ProjectFileToBat(job, batchFile, FProgram);
    EXPECT_EQ(run(QStringLiteral("/bin/sh"), {batchFile}),
              shown({QStringLiteral("-sf:/a.mdb"), QStringLiteral("-sp:say hi\\"), QStringLiteral("-tf:"),
                     QStringLiteral("-tp:"), QStringLiteral("-et:5"), QStringLiteral("-as")}));
}

// glibc ships no Shift_JIS locale; one is made for this run when the locale
// sources are installed.
class BatchShellShiftJis : public BatchShell {
protected:
    static void SetUpTestSuite()
    {
        FLocales = new QTemporaryDir;
        QProcess localedef;
        localedef.start(QStringLiteral("localedef"),
                        {QStringLiteral("-f"), QStringLiteral("SHIFT_JIS"), QStringLiteral("-i"),
                         QStringLiteral("ja_JP"), FLocales->filePath(QStringLiteral("ja_JP.SJIS"))});
        localedef.waitForFinished(60000);  // warns that the character set is not ASCII-safe
        qputenv("LOCPATH", QFile::encodeName(FLocales->path()));
    }
    static void TearDownTestSuite()
    {
        qunsetenv("LOCPATH");
        delete FLocales;
        FLocales = nullptr;
    }

    static QTemporaryDir *FLocales;
};

QTemporaryDir *BatchShellShiftJis::FLocales = nullptr;

// In CP932 "表" ends in the byte of "\", "～" in that of "`": a shell that
// reads bytes must not see them as such.
TEST_F(BatchShellShiftJis, SecondBytesLikeShellCharactersStayInert)
{
    ScopedCharacterSet shiftJis("ja_JP.SJIS");
    if (!shiftJis.active())
        GTEST_SKIP() << "no Shift_JIS locale (localedef or the ja_JP locale source is missing)";
    ASSERT_EQ(AnsiCodePageName(), QByteArray("CP932"));
    EXPECT_EQ(FormatSwitch(QStringLiteral("sp"), QStringLiteral("表～a\\ソ$")),
              QStringLiteral(" \"-sp:\"'表～'\"a\\\\\"'ソ'\"\\$\""));

    const QString batchFile = FDir.filePath(QStringLiteral("job.bat"));
    const TProjectFile job =
        MakeProjectFile(QStringLiteral("/データ/表計算ソフト\\"), QStringLiteral("～touch marker4～"),
                        QStringLiteral("/十\"能\"/"), QStringLiteral("`ソ`$表"), 5, false, false);
    ProjectFileToBat(job, batchFile, FProgram);
    const std::string expected =
        shown({QStringLiteral("-sf:/データ/表計算ソフト\\"), QStringLiteral("-sp:～touch marker4～"),
               QStringLiteral("-tf:/十能/"), QStringLiteral("-tp:`ソ`$表"), QStringLiteral("-et:5"),
               QStringLiteral("-as")});
    EXPECT_EQ(run(QStringLiteral("/bin/sh"), {batchFile}, "CP932"), expected) << "sh job.bat";
    EXPECT_EQ(run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("./job.bat")}, "CP932"),
              expected)
        << "./job.bat";
    const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
    if (!bash.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("ja_JP.SJIS"));
        EXPECT_EQ(run(bash, {batchFile}, "CP932", environment), expected) << "bash in a Shift_JIS locale";
    }
    EXPECT_EQ(shown(markers()), "[]");
}
