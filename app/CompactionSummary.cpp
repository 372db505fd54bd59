#include "app/CompactionSummary.h"

namespace {

QString oneLine(QString path)
{
    for (QChar &c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('?');
    }
    return path;
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
    return QStringLiteral("最適化しました: \"") + oneLine(sourcePath) + QStringLiteral("\" ") +
           QString::number(result.sourceBytes) + QStringLiteral(" バイト -> \"") + oneLine(targetPath) +
           QStringLiteral("\" ") + QString::number(result.targetBytes) + QStringLiteral(" バイト (") +
           QString::number(change) + QStringLiteral(" バイト, ") + QString::number(percent, 'f', 1) +
           (grew ? QStringLiteral("% 増加), テーブル ") : QStringLiteral("% 削減), テーブル ")) +
           QString::number(result.tables) + QStringLiteral(", 行 ") + QString::number(result.rows) +
           QStringLiteral(", ") + QString::number(seconds, 'f', 2) + QStringLiteral(" 秒");
}

QString CompactionRepairLine(const jet::CompactResult &result)
{
    if (result.repairs == 0)
        return {};
    return QStringLiteral("元のデータベースで ") + QString::number(result.repairs) + QStringLiteral(" 件の問題を修復しました。");
}
