#include "platform/JetEngineObject.h"

#include "support/TestData.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

namespace {

QString sourceString(const QString &path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=").arg(path);
}

QString targetString(const QString &path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Engine Type=5;"
                          "Jet OLEDB:Database Password=")
        .arg(path);
}

}  // namespace

TEST(CompactionReport, OnlyACompactionThatSucceededIsReported)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int reports = 0;
    const ScopedCompactionReport reporting([&reports](const CompactionReport &) { ++reports; });
    const AutomationObjectRef engine = CreateOleObject(QStringLiteral("JRO.JetEngine"));
    EXPECT_THROW(InvokeMethod(*engine, QStringLiteral("CompactDatabase"),
                              {sourceString(dir.filePath(QStringLiteral("missing.mdb"))),
                               targetString(dir.filePath(QStringLiteral("out.mdb")))}),
                 EOleException);
    EXPECT_EQ(reports, 0);
}

TEST(CompactionReport, CarriesPathsSizesAndCountsOfTheCompaction)
{
    SKIP_WITHOUT_TESTDATA();
    const QString source =
        QString::fromStdString(testdata::database("jackcess__V2003_testIndexPropertiesV2003.mdb").string());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("out.mdb"));
    std::optional<CompactionReport> report;
    const ScopedCompactionReport reporting([&report](const CompactionReport &r) { report = r; });
    const AutomationObjectRef engine = CreateOleObject(QStringLiteral("JRO.JetEngine"));
    try {
        InvokeMethod(*engine, QStringLiteral("CompactDatabase"), {sourceString(source), targetString(target)});
    } catch (const EOleException &e) {
        FAIL() << e.Message().toStdString();
    }
    ASSERT_TRUE(report);
    EXPECT_EQ(report->SourcePath, source);
    EXPECT_EQ(report->TargetPath, target);
    EXPECT_EQ(report->Result.sourceBytes, static_cast<std::uint64_t>(QFileInfo(source).size()));
    EXPECT_EQ(report->Result.targetBytes, static_cast<std::uint64_t>(QFileInfo(target).size()));
    EXPECT_GE(report->Result.tables, 6u) << "six user tables and the system tables";
    EXPECT_GE(report->Result.rows, 42u);
    EXPECT_GE(report->Seconds, 0.0);
}
