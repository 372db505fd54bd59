#include "app/CompactionResultText.h"

#include "app/ByteSize.h"
#include "app/CompactionSummary.h"

#include <algorithm>

namespace {

QString readable(std::uint64_t bytes) { return QString::fromStdString(ReadableByteSize(bytes)); }

QString percentText(const jet::CompactResult &result)
{
    const double percent = PercentSaved(result.sourceBytes, result.targetBytes);
    return percent < 0 ? QString::number(-percent, 'f', 1) + QStringLiteral("% 増加")
                       : QString::number(percent, 'f', 1) + QStringLiteral("% 削減");
}

QString noticeCount(const jet::CompactResult &result)
{
    if (result.notices.empty())
        return {};
    return QStringLiteral(" 注意 ") + QString::number(result.notices.size()) + QStringLiteral(" 件");
}

QString noticeLines(const jet::CompactResult &result)
{
    QString lines;
    for (const QString &line : CompactionNoticeLines(result))
        lines += QLatin1Char('\n') + line;
    return lines;
}

}  // namespace

QString CompactionResultText(const CompactionReport &report)
{
    const jet::CompactResult &r = report.Result;
    return readable(r.sourceBytes) + QStringLiteral(" → ") + readable(r.targetBytes) + QStringLiteral(" (") +
           percentText(r) + QStringLiteral(", ") + QString::number(report.Seconds, 'f', 2) + QStringLiteral(" 秒)") +
           noticeCount(r);
}

QString CompactionResultToolTip(const CompactionReport &report)
{
    const jet::CompactResult &r = report.Result;
    const std::uint64_t change = r.targetBytes > r.sourceBytes ? r.targetBytes - r.sourceBytes
                                                               : r.sourceBytes - r.targetBytes;
    const std::uint32_t systemTables = r.tables - std::min(r.userTables, r.tables);
    const std::uint64_t systemRows = r.rows - std::min(r.userRows, r.rows);
    // Concatenated, not QString::arg: a path may itself hold "%1".
    return QStringLiteral("最適化前: ") + report.SourcePath + QStringLiteral("\n    ") +
           QString::number(r.sourceBytes) + QStringLiteral(" バイト\n最適化後: ") + report.TargetPath +
           QStringLiteral("\n    ") + QString::number(r.targetBytes) + QStringLiteral(" バイト\n差: ") +
           QString::number(change) + QStringLiteral(" バイト (") + percentText(r) +
           QStringLiteral(")\nユーザー テーブル: ") + QString::number(r.userTables) + QStringLiteral(" (行 ") +
           QString::number(r.userRows) + QStringLiteral(")\nシステム テーブル: ") + QString::number(systemTables) +
           QStringLiteral(" (行 ") + QString::number(systemRows) + QStringLiteral(")\n所要時間: ") +
           QString::number(report.Seconds, 'f', 2) + QStringLiteral(" 秒") + noticeLines(r);
}

QString CompactionFailedText()
{
    return QStringLiteral("最適化に失敗しました");
}
