// What the window's result section of the status bar says after a
// compaction: a short line beside the command's own text, and the full
// figures in its tooltip.
#pragma once

#include "platform/JetEngineObject.h"

#include <QString>

// "348.0 KB → 120.0 KB (65.5% 削減, 0.42 秒)", followed by " 注意 <n> 件"
// when the copy leaves something out on purpose (jet::CompactResult::notices):
// the sentences are too long for the status bar, the count says to look.
QString CompactionResultText(const CompactionReport &report);
// Both paths, sizes in bytes, the saving, tables and rows, the time, then
// every notice in full, one "注意: " line each.
QString CompactionResultToolTip(const CompactionReport &report);

// The section after a failed compaction; its tooltip is the reason.
QString CompactionFailedText();
