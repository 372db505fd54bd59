// Running a written batch file starts Tessivar itself with the job that was
// written. The program's test hook (TESSIVAR_DUMP_JOB) reports the job it
// read from its arguments instead of compacting.
#include "BatchTestSupport.h"
#include "app/BatchFile.h"
#include "app/CommandLineJob.h"
#include "jet/Compact.h"
#include "jet/Error.h"
#include "support/TestData.h"
#include "util/StringUtility.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using batchtest::ScopedCharacterSet;

const QString kTessivar = QStringLiteral(TESSIVAR_BINARY_DIR "/bin/tessivar");

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

class BatchReplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(kTessivar).isExecutable()) << "build the tessivar target first";
        // A folder name that a shell would expand, holding a link to the program.
        const QString programDir = FDir.filePath(QStringLiteral("bin $x `y` \\z"));
        ASSERT_TRUE(QDir().mkpath(programDir));
        FProgram = programDir + QStringLiteral("/tessivar");
        ASSERT_TRUE(QFile::link(kTessivar, FProgram));
        FBatchFile = FDir.filePath(QStringLiteral("job.bat"));
    }

    // Runs the batch file with `sh` from inside the temporary folder, so a
    // stray command would leave its marker there.
    int runBatch(const QProcessEnvironment &extra = {})
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
        process.start(QStringLiteral("/bin/sh"), {FBatchFile});
        EXPECT_TRUE(process.waitForFinished(60000)) << "the batch file did not finish";
        FStandardError = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // The job the program read from the batch file's line.
    TProjectFile replayedJob()
    {
        const QString dumpFile = FDir.filePath(QStringLiteral("job.txt"));
        QFile::remove(dumpFile);
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("TESSIVAR_DUMP_JOB"), dumpFile);
        EXPECT_EQ(runBatch(environment), 0) << FStandardError.toStdString();
        QFile dump(dumpFile);
        TProjectFile job;
        job.FEngineType = 0;
        if (!dump.open(QIODevice::ReadOnly))
            return job;
        for (const QString &line : QString::fromUtf8(dump.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
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

    QStringList markers() const { return QDir(FDir.path()).entryList({QStringLiteral("marker*")}, QDir::Files); }

    QTemporaryDir FDir;
    QString FProgram;
    QString FBatchFile;
    QString FStandardError;
};

}  // namespace

TEST_F(BatchReplay, ProgramReadsBackTheWrittenJob)
{
    ScopedCharacterSet utf8("C.UTF-8");
    ASSERT_TRUE(utf8.active());
    for (const batchtest::ShellCase &c : batchtest::shellCases()) {
        for (const bool autoExit : {true, false}) {
            const TProjectFile job = MakeProjectFile(c.sourcePath, c.sourcePassword, c.targetPath,
                                                     c.targetPassword, autoExit ? 4 : 5, autoExit, false);
            ProjectFileToBat(job, FBatchFile, FProgram);
            TProjectFile started = job;
            started.FAutoStart = true;
            // What the program's own cutting rules make of the plain line.
            const TProjectFile cut = ArgsToProjectFile(CommandLineArguments(plainLine(job, FProgram)));
            const TProjectFile replayed = replayedJob();
            EXPECT_EQ(shown(replayed), shown(started)) << c.name;
            EXPECT_EQ(shown(replayed), shown(cut)) << c.name;
        }
    }
    EXPECT_EQ(markers().join(u' ').toStdString(), "");
}

TEST_F(BatchReplay, EmptyTargetAndQuotedPasswordComeBackAsTheCuttingRulesSay)
{
    const TProjectFile job = MakeProjectFile(QStringLiteral("/a b.mdb"), QStringLiteral("say \"hi\""), QString(),
                                             QStringLiteral("\"\"x"), 5, false, true);
    ProjectFileToBat(job, FBatchFile, FProgram);
    const TProjectFile replayed = replayedJob();
    EXPECT_EQ(shown(replayed), shown(MakeProjectFile(QStringLiteral("/a b.mdb"), QStringLiteral("say hi"), QString(),
                                                     QStringLiteral("x"), 5, false, true)));
    EXPECT_EQ(shown(replayed), shown(ArgsToProjectFile(CommandLineArguments(plainLine(job, FProgram)))));
}

TEST_F(BatchReplay, CompactsARealDatabaseHeadless)
{
    SKIP_WITHOUT_TESTDATA();
    ScopedCharacterSet utf8("C.UTF-8");
    ASSERT_TRUE(utf8.active());
    const QString source = QString::fromStdString(testdata::database("jackcess__V2000_testV2000.mdb").string());
    {
        jet::CompactRequest probe;
        probe.sourcePath = QFile::encodeName(source).toStdString();
        probe.targetPath = QFile::encodeName(FDir.filePath(QStringLiteral("probe.mdb"))).toStdString();
        try {
            jet::compactDatabase(probe);
        } catch (const jet::Error &e) {
            if (e.kind() == jet::ErrorKind::Unsupported)
                GTEST_SKIP() << "the engine cannot compact yet: " << e.what();
            throw;
        }
    }
    const QString target = FDir.filePath(QStringLiteral("out folder/コンパクト $x.mdb"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(target).path()));
    ProjectFileToBat(MakeProjectFile(source, QString(), target, QString(), 5, true, false), FBatchFile, FProgram);
    EXPECT_EQ(runBatch(), 0) << FStandardError.toStdString();
    EXPECT_TRUE(QFileInfo(target).isFile());
    EXPECT_GT(QFileInfo(target).size(), 0);
}
