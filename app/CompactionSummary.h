// The one line a headless run prints after a compaction, so that a cron
// job's mail says what happened. Only the window-less road prints it; the
// window's texts stay as they are.
#pragma once

#include "jet/Compact.h"

#include <QString>
#include <QStringList>

// "最適化しました: "<source>" <n> バイト (<n'> MB) -> "<target>" <m> バイト
// (<m'> MB) (<saved> バイト (<saved'> KB), <p>% 削減), ユーザー テーブル <t>
// (行 <r>), システム テーブル <st> (行 <sr>), <s> 秒", all on one line: sizes
// in plain bytes so scripts can read them, each followed by the same size in
// KB, MB or GB from 1 KB on; the percent of the source size with one decimal,
// a target larger than its source reported as "増加", control characters in
// the paths shown as "?".
QString CompactionSummaryLine(const QString &sourcePath, const QString &targetPath,
                              const jet::CompactResult &result, double seconds);

// "元のデータベースで <n> 件の問題を修復しました。" when the compaction
// repaired faults of the source (jet::CompactResult::repairs), printed on a
// line of its own after the summary so that the summary line keeps its form;
// empty when there was nothing to repair.
QString CompactionRepairLine(const jet::CompactResult &result);

// "注意: <sentence>" for each thing the copy leaves out on purpose
// (jet::CompactResult::notices), in the engine's order, each on one line:
// a headless run writes them to standard error, where a cron job's mail
// shows them beside the warnings. Empty for a copy that leaves nothing out.
QStringList CompactionNoticeLines(const jet::CompactResult &result);
