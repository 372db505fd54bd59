// What the window's result section of the status bar says after a
// compaction: a short line beside the command's own text, and the full
// figures in its tooltip.
#pragma once

#include "platform/JetEngineObject.h"

#include <QString>

// "348.0 KB → 120.0 KB (65.5% 削減, 0.42 秒)"
QString CompactionResultText(const CompactionReport &report);
// Both paths, sizes in bytes, the saving, tables and rows, the time.
QString CompactionResultToolTip(const CompactionReport &report);

// The section after a failed compaction; its tooltip is the reason.
QString CompactionFailedText();
