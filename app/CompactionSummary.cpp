#include "app/CompactionSummary.h"

#include "app/ByteSize.h"

#include <algorithm>

namespace {

QString oneLine(QString path)
{
    for (QChar &c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('?');
    }
    return path;
}

// Plain bytes first, for scripts, then the same size for people.
QString bytesAndUnits(std::uint64_t bytes)
{
    const QString plain = QString::number(bytes) + QStringLiteral(" バイト");
    if (bytes < 1024)
        return plain;
    return plain + QStringLiteral(" (") + QString::fromStdString(ReadableByteSize(bytes)) + QLatin1Char(')');
}

}  // namespace

QString CompactionSummaryLine(const QString &sourcePath, const QString &targetPath,
                              const jet::CompactResult &result, double seconds)
{
    const bool grew = result.targetBytes > result.sourceBytes;
    const std::uint64_t change = grew ? result.targetBytes - result.sourceBytes
                                      : result.sourceBytes - result.targetBytes;
    const double percent =
        result.sourceBytes == 0 ? 0.0 : 100.0 * static_cast<double>(change) / static_cast<double>(result.sourceBytes);
    // Concatenated, not QString::arg: a path may itself hold "%1".
    const std::uint64_t systemRows = result.rows - std::min(result.userRows, result.rows);
    const std::uint32_t systemTables = result.tables - std::min(result.userTables, result.tables);
    return QStringLiteral("最適化しました: \"") + oneLine(sourcePath) + QStringLiteral("\" ") +
           bytesAndUnits(result.sourceBytes) + QStringLiteral(" -> \"") + oneLine(targetPath) +
           QStringLiteral("\" ") + bytesAndUnits(result.targetBytes) + QStringLiteral(" (") +
           bytesAndUnits(change) + QStringLiteral(", ") + QString::number(percent, 'f', 1) +
           (grew ? QStringLiteral("% 増加), ユーザー テーブル ") : QStringLiteral("% 削減), ユーザー テーブル ")) +
           QString::number(result.userTables) + QStringLiteral(" (行 ") + QString::number(result.userRows) +
           QStringLiteral("), システム テーブル ") + QString::number(systemTables) + QStringLiteral(" (行 ") +
           QString::number(systemRows) + QStringLiteral("), ") + QString::number(seconds, 'f', 2) +
           QStringLiteral(" 秒");
}

QString CompactionRepairLine(const jet::CompactResult &result)
{
    if (result.repairs == 0)
        return {};
    return QStringLiteral("元のデータベースで ") + QString::number(result.repairs) + QStringLiteral(" 件の問題を修復しました。");
}

QStringList CompactionNoticeLines(const jet::CompactResult &result)
{
    QStringList lines;
    for (const std::string &notice : result.notices)
        lines << QStringLiteral("注意: ") + oneLine(QString::fromStdString(notice));
    return lines;
}
