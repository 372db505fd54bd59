#include "app/ByteSize.h"
#include "app/CompactionSummary.h"

#include <gtest/gtest.h>

namespace {

jet::CompactResult result(std::uint64_t source, std::uint64_t target, std::uint32_t tables, std::uint64_t rows,
                          std::uint32_t userTables = 0, std::uint64_t userRows = 0)
{
    jet::CompactResult r;
    r.userTables = userTables;
    r.userRows = userRows;
    r.sourceBytes = source;
    r.targetBytes = target;
    r.tables = tables;
    r.rows = rows;
    return r;
}

}  // namespace

TEST(CompactionSummary, OneLineWithPathsSizesSavingsCountsAndTime)
{
    EXPECT_EQ(CompactionSummaryLine(QStringLiteral("/srv/data/売上 2024.mdb"), QStringLiteral("/srv/data/new.mdb"),
                                    result(12582912, 8388608, 14, 52113, 8, 52000), 2.409),
              QStringLiteral("最適化しました: \"/srv/data/売上 2024.mdb\" 12582912 バイト (12.0 MB) -> "
                             "\"/srv/data/new.mdb\" 8388608 バイト (8.0 MB) (4194304 バイト (4.0 MB), 33.3% 削減), "
                             "ユーザー テーブル 8 (行 52000), システム テーブル 6 (行 113), 2.41 秒"));
}

TEST(CompactionSummary, ReadableSizesPickTheUnitThatFits)
{
    EXPECT_EQ(ReadableByteSize(1023), "1023 バイト");
    EXPECT_EQ(ReadableByteSize(1536), "1.5 KB");
    EXPECT_EQ(ReadableByteSize(5u << 20), "5.0 MB");
    EXPECT_EQ(ReadableByteSize(6000000000ULL), "5.59 GB");
    EXPECT_DOUBLE_EQ(PercentSaved(200, 50), 75.0);
    EXPECT_DOUBLE_EQ(PercentSaved(100, 150), -50.0);
    EXPECT_DOUBLE_EQ(PercentSaved(0, 10), 0.0);
}

TEST(CompactionSummary, EdgeSizesNeitherDivideByZeroNorWrapAround)
{
    // Larger than 4 GiB, no change, a grown target, an empty source.
    EXPECT_NE(CompactionSummaryLine("a", "b", result(6000000000ULL, 3000000000ULL, 1, 5000000000ULL), 0)
                  .indexOf(QStringLiteral("6000000000 バイト (5.59 GB) -> \"b\" 3000000000 バイト (2.79 GB) "
                                          "(3000000000 バイト (2.79 GB), 50.0% 削減), ユーザー テーブル 0 (行 0), "
                                          "システム テーブル 1 (行 5000000000), 0.00 秒")),
              -1);
    EXPECT_NE(CompactionSummaryLine("a", "b", result(4096, 4096, 0, 0), 1).indexOf(QStringLiteral("(0 バイト, 0.0% 削減)")),
              -1);
    EXPECT_NE(CompactionSummaryLine("a", "b", result(4096, 6144, 0, 0), 1).indexOf(QStringLiteral("(2048 バイト (2.0 KB), 50.0% 増加)")),
              -1);
    EXPECT_NE(CompactionSummaryLine("a", "b", result(0, 2048, 0, 0), 1).indexOf(QStringLiteral("(2048 バイト (2.0 KB), 0.0% 増加)")),
              -1);
}

TEST(CompactionSummary, PathsWithLineBreaksOrPercentSignsStayOneLiteralLine)
{
    const QString line = CompactionSummaryLine(QStringLiteral("/tmp/a\nb.mdb"), QStringLiteral("/tmp/%1 %2\r.mdb"),
                                               result(10, 5, 1, 1), 0.5);
    EXPECT_EQ(line.indexOf(QLatin1Char('\n')), -1);
    EXPECT_EQ(line.indexOf(QLatin1Char('\r')), -1);
    EXPECT_NE(line.indexOf(QStringLiteral("\"/tmp/a?b.mdb\"")), -1) << line.toStdString();
    EXPECT_NE(line.indexOf(QStringLiteral("\"/tmp/%1 %2?.mdb\" 5 バイト")), -1) << line.toStdString();
}

TEST(CompactionSummary, RepairsOfTheSourceGetALineOfTheirOwnOnlyWhenThereWereAny)
{
    jet::CompactResult repaired = result(10, 5, 1, 1);
    EXPECT_TRUE(CompactionRepairLine(repaired).isEmpty());
    repaired.repairs = 3;
    EXPECT_EQ(CompactionRepairLine(repaired), QStringLiteral("元のデータベースで 3 件の問題を修復しました。"));
    EXPECT_EQ(CompactionSummaryLine("a", "b", repaired, 1), CompactionSummaryLine("a", "b", result(10, 5, 1, 1), 1));
}

TEST(CompactionSummary, EveryNoticeIsALineOfItsOwnAndTheSummaryKeepsItsForm)
{
    jet::CompactResult converted = result(10, 5, 1, 1);
    EXPECT_TRUE(CompactionNoticeLines(converted).isEmpty());
    converted.notices = {"フォームは含めていません。", "二行に\nまたがる文です。"};
    EXPECT_EQ(CompactionNoticeLines(converted),
              (QStringList{QStringLiteral("注意: フォームは含めていません。"), QStringLiteral("注意: 二行に?またがる文です。")}));
    EXPECT_EQ(CompactionSummaryLine("a", "b", converted, 1), CompactionSummaryLine("a", "b", result(10, 5, 1, 1), 1));
}
