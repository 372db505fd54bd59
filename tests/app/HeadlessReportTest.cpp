// What a cron job's mail shows: the summary line of a headless compaction on
// standard output, and the refusal of a database in use on standard error.
#include "support/TestData.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct HeadlessRun {
    int exitCode = -1;
    QString out;
    QString err;
};

HeadlessRun runHeadless(const QStringList &args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "TESSIVAR_DUMP_JOB"})
        env.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TESSIVAR_BINARY_DIR "/bin/tessivar"), args);
    EXPECT_TRUE(process.waitForFinished(60000)) << "tessivar did not finish";
    HeadlessRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

class HeadlessReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testdata::available())
            GTEST_SKIP() << "shared test databases not found at " << testdata::databasesDir();
        ASSERT_TRUE(dir_.isValid());
        source_ = dir_.filePath(QStringLiteral("売上 backend.mdb"));
        ASSERT_TRUE(QFile::copy(
            QString::fromStdString(testdata::database("jackcess__V2003_testIndexPropertiesV2003.mdb").string()),
            source_));
        target_ = dir_.filePath(QStringLiteral("compacted.mdb"));
    }
    HeadlessRun compact()
    {
        return runHeadless({QStringLiteral("-sf:") + source_, QStringLiteral("-tf:") + target_, "-et:5", "-oe", "-as"});
    }

    QTemporaryDir dir_;
    QString source_;
    QString target_;
};

}  // namespace

TEST_F(HeadlessReport, CompactionPrintsOneSummaryLineWithTheRealFigures)
{
    const HeadlessRun run = compact();
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QRegularExpression format(QStringLiteral(
        "^最適化しました: \"(.+)\" (\\d+) バイト \\(\\d+\\.\\d KB\\) -> \"(.+)\" (\\d+) バイト \\(\\d+\\.\\d KB\\) "
        "\\((\\d+) バイト \\(\\d+\\.\\d KB\\), (\\d+\\.\\d)% 削減\\), ユーザー テーブル (\\d+) \\(行 (\\d+)\\), "
        "システム テーブル (\\d+) \\(行 (\\d+)\\), (\\d+\\.\\d\\d) 秒\n$"));
    const QRegularExpressionMatch line = format.match(run.out);
    ASSERT_TRUE(line.hasMatch()) << run.out.toStdString();
    EXPECT_EQ(line.captured(1), source_);
    EXPECT_EQ(line.captured(2).toLongLong(), QFileInfo(source_).size());
    EXPECT_EQ(line.captured(3), target_);
    EXPECT_EQ(line.captured(4).toLongLong(), QFileInfo(target_).size());
    EXPECT_EQ(line.captured(5).toLongLong(), QFileInfo(source_).size() - QFileInfo(target_).size());
    EXPECT_EQ(line.captured(7).toInt(), 6) << "the manifest's user tables";
    EXPECT_EQ(line.captured(8).toLongLong(), 42) << "the manifest's user rows";
    EXPECT_GE(line.captured(9).toInt(), 5) << "MSysObjects and the other system tables";
    EXPECT_GT(line.captured(10).toLongLong(), 0);
}

TEST_F(HeadlessReport, DatabaseInUseIsRefusedWithoutSummaryOrTarget)
{
    QFile lockFile(dir_.filePath(QStringLiteral("売上 backend.LDB")));
    ASSERT_TRUE(lockFile.open(QIODevice::WriteOnly));
    lockFile.close();
    const HeadlessRun run = compact();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("警告: "))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(lockFile.fileName())) << run.err.toStdString();
    EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(target_));
}
