// Runs the built program the way cron jobs and batch files do: without a screen.
#include "jet/Compact.h"
#include "jet/Error.h"
#include "support/TestData.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

const QString kTessivar = QStringLiteral(TESSIVAR_BINARY_DIR "/bin/tessivar");
// The same program with the tests' job-dump hook.
const QString kJobDumper = QStringLiteral(TESSIVAR_BINARY_DIR "/tests/tessivar-jobdump");

ProgramRun runTessivar(const QStringList &args, const QProcessEnvironment &extra = {},
                       const QString &program = kTessivar)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("TESSIVAR_DUMP_JOB"));
    for (const QString &key : extra.keys())
        env.insert(key, extra.value(key));
    process.setProcessEnvironment(env);
    process.start(program, args);
    EXPECT_TRUE(process.waitForFinished(20000)) << "tessivar did not finish";
    ProgramRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

}  // namespace

TEST(HeadlessRun, MissingSourceWarnsOnStandardErrorAndFails)
{
    const ProgramRun run = runTessivar({"-sf:missing.mdb", "-tf:/tmp/x.mdb", "-as", "-oe"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, QStringLiteral("警告: 変換するMDBファイルが見つかりません。\n"));
    EXPECT_TRUE(run.out.isEmpty());
}

TEST(HeadlessRun, EngineFailureIsOneWarningLineAndFails)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("not-a-database.mdb"));
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is no database");
    file.close();
    const ProgramRun run = runTessivar({QStringLiteral("-sf:%1").arg(source),
                                 QStringLiteral("-tf:%1").arg(dir.filePath(QStringLiteral("out.mdb"))), "-as"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("警告: "))) << run.err.toStdString();
    EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.mdb"))));
}

TEST(HeadlessRun, NothingToDoPrintsUsageAndExits2)
{
    for (const QStringList &args : {QStringList{}, QStringList{"-sf:a.mdb", "-oe"}}) {
        const ProgramRun run = runTessivar(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("使い方: tessivar"))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST(HeadlessRun, HelpAndVersionAnswerOnStandardOutput)
{
    const ProgramRun help = runTessivar({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("使い方: tessivar")));
    EXPECT_TRUE(help.out.contains(QStringLiteral("-et:4|5")));
    const ProgramRun version = runTessivar({"-as", "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("Tessivar " TESSIVAR_VERSION "\n"));
}

TEST(HeadlessRun, DumpHookWritesTheParsedJob)
{
    QTemporaryDir dir;
    QProcessEnvironment env;
    env.insert(QStringLiteral("TESSIVAR_DUMP_JOB"), dir.filePath(QStringLiteral("job.txt")));
    const ProgramRun run = runTessivar({"/SF:/data/日本語 a.mdb", "-sp:p;w", "-tf:", "-tp::x", "-et:$4", "-oe:0", "/As"},
                                       env, kJobDumper);
    EXPECT_EQ(run.exitCode, 0);
    QFile dump(dir.filePath(QStringLiteral("job.txt")));
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(dump.readAll()),
              QStringLiteral("FSourceMdbPath=/data/日本語 a.mdb\nFSourceMdbPassword=p;w\nFTargetMdbPath=\n"
                             "FTargetMdbPassword=:x\nFEngineType=4\nFOptionAutoExit=true\nFAutoStart=true\n"));
}

// The hook writes passwords in plain text where the environment says: the
// shipped program must not have it, nor even its name.
TEST(HeadlessRun, ShippedProgramHasNoDumpHook)
{
    QTemporaryDir dir;
    QProcessEnvironment env;
    env.insert(QStringLiteral("TESSIVAR_DUMP_JOB"), dir.filePath(QStringLiteral("job.txt")));
    const ProgramRun run = runTessivar({"-sf:a.mdb", "-sp:secret"}, env);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("job.txt"))));
    QFile program(kTessivar);
    ASSERT_TRUE(program.open(QIODevice::ReadOnly));
    EXPECT_FALSE(program.readAll().contains("TESSIVAR_DUMP_JOB"));
}

namespace {

QByteArray sha256Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// True when the engine in this build can compact the file at all; the
// end-to-end run below is only meaningful then.
bool engineCanCompact(const QString &source, const QString &scratchTarget)
{
    jet::CompactRequest request;
    request.sourcePath = QFile::encodeName(source).toStdString();
    request.targetPath = QFile::encodeName(scratchTarget).toStdString();
    try {
        jet::compactDatabase(request);
        return true;
    } catch (const jet::Error &e) {
        return e.kind() != jet::ErrorKind::Unsupported;
    }
}

}  // namespace

TEST(HeadlessRun, CompactsARealDatabaseAndExits0)
{
    SKIP_WITHOUT_TESTDATA();
    const QString source = QString::fromStdString(testdata::database("jackcess__V2000_compIndexTestV2000.mdb").string());
    QTemporaryDir dir;
    if (!engineCanCompact(source, dir.filePath(QStringLiteral("probe.mdb"))))
        GTEST_SKIP() << "the engine cannot compact Jet 4 databases yet";
    const QByteArray before = sha256Of(source);
    const QString target = dir.filePath(QStringLiteral("compacted.mdb"));
    const ProgramRun run = runTessivar({QStringLiteral("-sf:%1").arg(source), QStringLiteral("-tf:%1").arg(target),
                                        "-et:5", "-oe", "-as"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_EQ(sha256Of(source), before) << "the source must never change";
}
