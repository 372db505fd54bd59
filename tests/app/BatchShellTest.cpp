// A written batch file run by a real POSIX shell starts the program with the
// job that was written, and runs nothing else. The program built with the
// tests' hook (TESSIVAR_DUMP_JOB) reports the job it read instead of compacting.
#include "app/BatchFile.h"
#include "app/CommandLineJob.h"
#include "jet/Compact.h"
#include "jet/Error.h"
#include "platform/AnsiCodePage.h"
#include "platform/Exceptions.h"
#include "support/CompiledLocales.h"
#include "support/ScopedCharacterSet.h"
#include "support/TestData.h"
#include "util/StringUtility.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace {

const QString kTessivar = QStringLiteral(TESSIVAR_BINARY_DIR "/bin/tessivar");
const QString kJobDumper = QStringLiteral(TESSIVAR_BINARY_DIR "/tests/tessivar-jobdump");

// Jobs whose texts a shell would misread if they were not escaped.
struct ShellCase {
    const char *name;
    QString sourcePath;
    QString sourcePassword;
    QString targetPath;
    QString targetPassword;
};

const QList<ShellCase> kShellCases = {
    {"blanks and colons", QStringLiteral("/data/My Files/a:b.mdb"), QStringLiteral("pass word"),
     QStringLiteral("/data/My Files/a compact.mdb"), QStringLiteral(" lead:trail ")},
    {"command separators", QStringLiteral("/d/a;b&c|d.mdb"), QStringLiteral("x; touch marker1 &"),
     QStringLiteral("/d/%TEMP%^x.mdb"), QStringLiteral("a&&b||c>d<e")},
    {"expansions", QStringLiteral("/d/$HOME/${PATH}.mdb"), QStringLiteral("$(touch marker2)"),
     QStringLiteral("/d/`touch marker3`.mdb"), QStringLiteral("$1$@$*$$$")},
    {"backslashes", QStringLiteral("C:\\data\\a.mdb"), QStringLiteral("\\"), QStringLiteral("\\\\server\\share\\"),
     QStringLiteral("a\\$b\\`c\\\\d\\\\")},
    {"japanese", QStringLiteral("/データ/売上 (2024).mdb"), QStringLiteral("パスワード"),
     QStringLiteral("/データ/最適化後.mdb"), QStringLiteral("表ソ～")},
    {"globs and tildes", QStringLiteral("~/*.mdb"), QStringLiteral("[a-z]?"), QStringLiteral("~root"),
     QStringLiteral("!!")},
};

// The line exactly as the original writer made it, for a reader that knows
// only the program's own cutting rules: quotes doubled, nothing else escaped.
QString plainQuote(QString text)
{
    return u'"' + text.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString plainLine(const TProjectFile &job, const QString &executable)
{
    QString line = plainQuote(executable) + u' ' + plainQuote(QStringLiteral("-sf:") + job.FSourceMdbPath);
    if (!job.FSourceMdbPassword.isEmpty())
        line += u' ' + plainQuote(QStringLiteral("-sp:") + job.FSourceMdbPassword);
    line += u' ' + plainQuote(QStringLiteral("-tf:") + job.FTargetMdbPath);
    if (!job.FTargetMdbPassword.isEmpty())
        line += u' ' + plainQuote(QStringLiteral("-tp:") + job.FTargetMdbPassword);
    line += QStringLiteral(" \"-et:%1\"").arg(job.FEngineType);
    if (job.FOptionAutoExit)
        line += QStringLiteral(" -oe");
    return line + QStringLiteral(" -as");
}

std::string shown(const TProjectFile &job)
{
    return QStringLiteral("sf=[%1] sp=[%2] tf=[%3] tp=[%4] et=%5 oe=%6 as=%7")
        .arg(job.FSourceMdbPath, job.FSourceMdbPassword, job.FTargetMdbPath, job.FTargetMdbPassword)
        .arg(job.FEngineType)
        .arg(int(job.FOptionAutoExit))
        .arg(int(job.FAutoStart))
        .toStdString();
}

std::string shown(const QStringList &arguments)
{
    return ("[" + arguments.join(QStringLiteral("] [")) + "]").toStdString();
}

TProjectFile parseJobDump(const QString &text)
{
    TProjectFile job;
    job.FEngineType = 0;
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const QString field = line.section(u'=', 0, 0);
        const QString value = line.section(u'=', 1);
        if (field == QLatin1String("FSourceMdbPath"))
            job.FSourceMdbPath = value;
        else if (field == QLatin1String("FSourceMdbPassword"))
            job.FSourceMdbPassword = value;
        else if (field == QLatin1String("FTargetMdbPath"))
            job.FTargetMdbPath = value;
        else if (field == QLatin1String("FTargetMdbPassword"))
            job.FTargetMdbPassword = value;
        else if (field == QLatin1String("FEngineType"))
            job.FEngineType = value.toInt();
        else if (field == QLatin1String("FOptionAutoExit"))
            job.FOptionAutoExit = value == QLatin1String("true");
        else if (field == QLatin1String("FAutoStart"))
            job.FAutoStart = value == QLatin1String("true");
    }
    return job;
}

// The batch file runs from inside a temporary folder, so a stray command
// would leave its marker there. The program it starts lives in a folder
// whose name a shell would expand.
class BatchShell : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FProgramDir = FDir.filePath(QStringLiteral("bin $x `y` \\z"));
        ASSERT_TRUE(QDir().mkpath(FProgramDir));
        FBatchFile = FDir.filePath(QStringLiteral("job.bat"));
    }

    void useTessivar(const QString &build = kTessivar)
    {
        ASSERT_TRUE(QFileInfo(build).isExecutable()) << "build the tessivar and tessivar-jobdump targets first";
        FProgram = FProgramDir + QStringLiteral("/tessivar");
        ASSERT_TRUE(QFile::link(build, FProgram));
    }
    void useJobDumper() { useTessivar(kJobDumper); }

    // A stand-in that writes each argument and a NUL byte into "args".
    void useRecorder()
    {
        FProgram = FProgramDir + QStringLiteral("/recorder");
        QFile script(FProgram);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\0' \"$@\" > \"${0%/*}/args\"\n");
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // The ways a user runs the file: `sh job.bat`, `./job.bat` and bash.
    QList<QStringList> shellCommands() const
    {
        QList<QStringList> commands{{QStringLiteral("/bin/sh"), FBatchFile},
                                    {QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("./job.bat")}};
        const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
        if (!bash.isEmpty())
            commands.append({bash, FBatchFile});
        return commands;
    }

    int run(QStringList command, const QProcessEnvironment &extra = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("TESSIVAR_DUMP_JOB"));
        for (const QString &key : extra.keys())
            environment.insert(key, extra.value(key));
        QProcess process;
        process.setWorkingDirectory(FDir.path());
        process.setProcessEnvironment(environment);
        process.start(command.takeFirst(), command);
        EXPECT_TRUE(process.waitForFinished(60000)) << "the batch file did not finish";
        FStandardError = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // The job Tessivar read from the batch file's line.
    TProjectFile replayedJob(const QStringList &command, QProcessEnvironment environment = {})
    {
        const QString dumpFile = FDir.filePath(QStringLiteral("job.txt"));
        QFile::remove(dumpFile);
        environment.insert(QStringLiteral("TESSIVAR_DUMP_JOB"), dumpFile);
        EXPECT_EQ(run(command, environment), 0) << FStandardError.toStdString();
        QFile dump(dumpFile);
        if (!dump.open(QIODevice::ReadOnly))
            return TProjectFile{{}, {}, {}, {}, 0, false, false};
        return parseJobDump(QString::fromUtf8(dump.readAll()));
    }

    // The arguments the recorder got, decoded from `codePage`.
    std::string recordedArguments(const QStringList &command, const QByteArray &codePage,
                                  const QProcessEnvironment &environment = {})
    {
        QFile::remove(FProgramDir + QStringLiteral("/args"));
        EXPECT_EQ(run(command, environment), 0) << FStandardError.toStdString();
        QFile args(FProgramDir + QStringLiteral("/args"));
        if (!args.open(QIODevice::ReadOnly))
            return "<program did not run>";
        QStringList list = AnsiToUnicode(args.readAll(), codePage).split(QChar(0));
        list.removeLast();  // after the last NUL
        return shown(list);
    }

    std::string markers() const
    {
        return QDir(FDir.path()).entryList({QStringLiteral("marker*")}, QDir::Files).join(u' ').toStdString();
    }

    QTemporaryDir FDir;
    QString FProgramDir;
    QString FProgram;
    QString FBatchFile;
    QString FStandardError;
};

}  // namespace

TEST_F(BatchShell, TessivarReadsBackTheWrittenJobAndNothingElseRuns)
{
    useJobDumper();
    ScopedCharacterSet utf8("C.UTF-8");
    ASSERT_TRUE(utf8.active());
    bool autoExit = false;
    for (const ShellCase &c : kShellCases) {
        autoExit = !autoExit;
        const TProjectFile job = MakeProjectFile(c.sourcePath, c.sourcePassword, c.targetPath, c.targetPassword,
                                                 autoExit ? 4 : 5, autoExit, false);
        ProjectFileToBat(job, FBatchFile, FProgram);
        TProjectFile started = job;
        started.FAutoStart = true;
        // What the program's own cutting rules make of the plain line.
        const TProjectFile cut = ArgsToProjectFile(CommandLineArguments(plainLine(job, FProgram)));
        EXPECT_EQ(shown(cut), shown(started)) << c.name;
        for (const QStringList &command : shellCommands())
            EXPECT_EQ(shown(replayedJob(command)), shown(started))
                << c.name << ": " << command.join(u' ').toStdString();
    }
    EXPECT_EQ(markers(), "");
}

// A double quote cannot come back: the program's cutting rules drop it, and
// the shell agrees with them. So such a job is refused rather than written
// as a line that would replay with another password.
TEST_F(BatchShell, QuotesInPasswordsAreRefusedNotLost)
{
    const TProjectFile job = MakeProjectFile(QStringLiteral("/a b.mdb"), QStringLiteral("say \"hi\"\\"), QString(),
                                             QStringLiteral("\"\"x"), 5, false, true);
    EXPECT_EQ(shown(ArgsToProjectFile(CommandLineArguments(plainLine(job, QStringLiteral("/t"))))),
              shown(MakeProjectFile(QStringLiteral("/a b.mdb"), QStringLiteral("say hi\\"), QString(),
                                    QStringLiteral("x"), 5, false, true)));
    EXPECT_THROW(ProjectFileToBat(job, FBatchFile, QStringLiteral("/t")), EArgumentException);
    EXPECT_FALSE(QFileInfo::exists(FBatchFile));
}

TEST_F(BatchShell, CompactsARealDatabaseHeadless)
{
    SKIP_WITHOUT_TESTDATA();
    useTessivar();
    ScopedCharacterSet utf8("C.UTF-8");
    ASSERT_TRUE(utf8.active());
    const QString source = QString::fromStdString(testdata::database("jackcess__V2000_testV2000.mdb").string());
    const QString target = FDir.filePath(QStringLiteral("out folder/コンパクト $x.mdb"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(target).path()));
    ProjectFileToBat(MakeProjectFile(source, QString(), target, QString(), 5, true, false), FBatchFile, FProgram);
    EXPECT_EQ(run(shellCommands().first()), 0) << FStandardError.toStdString();
    EXPECT_TRUE(QFileInfo(target).isFile());
    EXPECT_GT(QFileInfo(target).size(), 0);
}

// glibc ships no compiled EUC-JP or Shift_JIS locale; they are made for
// this run when the locale sources are installed.
class BatchShellLegacyLocales : public BatchShell {
protected:
    static void SetUpTestSuite() { FLocales = new CompiledLocales; }
    static void TearDownTestSuite()
    {
        delete FLocales;
        FLocales = nullptr;
    }

    static QProcessEnvironment shellIn(const char *locale)
    {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("LC_ALL"), QLatin1String(locale));
        return environment;
    }

    static CompiledLocales *FLocales;
};

CompiledLocales *BatchShellLegacyLocales::FLocales = nullptr;

#define SKIP_WITHOUT_LOCALE(characterSet, locale)                                                              \
    if (!(characterSet).active())                                                                              \
    GTEST_SKIP() << "no " << (locale) << " locale (localedef or the ja_JP locale source is missing)"

// Written under the locale, run by the shell under it: the program decodes
// its arguments from the locale's character set and gets the job back.
TEST_F(BatchShellLegacyLocales, ReplayedJobIsTheWrittenOneUnderEucJpAndShiftJis)
{
    useJobDumper();
    for (const char *locale : {CompiledLocales::kEucJp, CompiledLocales::kShiftJis}) {
        const ScopedCharacterSet characterSet(locale);
        SKIP_WITHOUT_LOCALE(characterSet, locale);
        const TProjectFile job =
            MakeProjectFile(QStringLiteral("/データ/表計算ソフト～ (2024).mdb"), QStringLiteral("パス表ソ～$"),
                            QStringLiteral("/出力/最適化後.mdb"), QStringLiteral("十能`x`"), 4, true, false);
        ProjectFileToBat(job, FBatchFile, FProgram);
        TProjectFile started = job;
        started.FAutoStart = true;
        for (const QStringList &command : shellCommands())
            EXPECT_EQ(shown(replayedJob(command, shellIn(locale))), shown(started))
                << locale << ": " << command.join(u' ').toStdString();
    }
    EXPECT_EQ(markers(), "");
}

// The names reach the file system in the locale's bytes: a source named in
// EUC-JP is found and the copy gets its EUC-JP name.
TEST_F(BatchShellLegacyLocales, CompactsADatabaseWithAJapaneseNameUnderEucJp)
{
    SKIP_WITHOUT_TESTDATA();
    useTessivar();
    const ScopedCharacterSet eucJp(CompiledLocales::kEucJp);
    SKIP_WITHOUT_LOCALE(eucJp, CompiledLocales::kEucJp);
    const QString source = FDir.filePath(QStringLiteral("元データ.mdb"));
    const QString target = FDir.filePath(QStringLiteral("最適化後.mdb"));
    const auto eucJpName = [](const QString &path) { return UnicodeToAnsi(path, "EUC-JP").toStdString(); };
    {
        QFile original(QString::fromStdString(testdata::database("jackcess__V2000_testV2000.mdb").string()));
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        FILE *copy = std::fopen(eucJpName(source).c_str(), "wb");
        ASSERT_NE(copy, nullptr);
        ASSERT_EQ(std::fwrite(bytes.constData(), 1, bytes.size(), copy), static_cast<size_t>(bytes.size()));
        std::fclose(copy);
    }
    ProjectFileToBat(MakeProjectFile(source, QString(), target, QString(), 5, true, false), FBatchFile, FProgram);
    EXPECT_EQ(run(shellCommands().first(), shellIn(CompiledLocales::kEucJp)), 0) << FStandardError.toStdString();
    struct stat st {};
    EXPECT_EQ(::stat(eucJpName(target).c_str(), &st), 0);
    EXPECT_GT(st.st_size, 0);
}

// In CP932 "表" ends in the byte of "\", "～" in that of "`": a shell that
// reads bytes must not see them as such.
TEST_F(BatchShellLegacyLocales, SecondBytesLikeShellCharactersStayInert)
{
    ScopedCharacterSet shiftJis(CompiledLocales::kShiftJis);
    SKIP_WITHOUT_LOCALE(shiftJis, CompiledLocales::kShiftJis);
    ASSERT_EQ(AnsiCodePageName(), QByteArray("CP932"));
    EXPECT_EQ(FormatSwitch(QStringLiteral("sp"), QStringLiteral("表～a\\ソ$")),
              QStringLiteral(" \"-sp:\"'表～'\"a\\\\\"'ソ'\"\\$\""));

    useRecorder();
    const TProjectFile job =
        MakeProjectFile(QStringLiteral("/データ/表計算ソフト\\"), QStringLiteral("～touch marker4～"),
                        QStringLiteral("/十能/"), QStringLiteral("`ソ`$表"), 5, false, false);
    ProjectFileToBat(job, FBatchFile, FProgram);
    const std::string expected =
        shown(QStringList{QStringLiteral("-sf:/データ/表計算ソフト\\"), QStringLiteral("-sp:～touch marker4～"),
                          QStringLiteral("-tf:/十能/"), QStringLiteral("-tp:`ソ`$表"), QStringLiteral("-et:5"),
                          QStringLiteral("-as")});
    for (const QStringList &command : shellCommands())
        EXPECT_EQ(recordedArguments(command, "CP932", shellIn(CompiledLocales::kShiftJis)), expected) << command.join(u' ').toStdString();
    EXPECT_EQ(markers(), "");
}
