// What `tessivar-jet compact` says about each file and about the run: a line
// per file for people and mail, or a JSON object per file for scripts.
#pragma once

#include "jet/Compact.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace jettool {

struct CompactOutcome {
    std::string file;
    std::string target;  // where the copy went (the file itself when in place)
    std::optional<std::string> backup;
    std::optional<std::string> error;
    jet::CompactResult result;
    double seconds = 0;
};

// "最適化しました: FILE[ -> TARGET]: sizes[, 元のファイル BACKUP], N 秒", then
// "注意: FILE: SENTENCE" for each thing the copy leaves out on purpose; a
// failure is "失敗: FILE: REASON" here and the reason alone on `err`.
void printCompactLine(const CompactOutcome &outcome, std::ostream &out, std::ostream &err);

// One line: {"file", "ok", then "target", "backup", the sizes and counts,
// "notices" (a list, empty when nothing was left out), "seconds"; or "error"}.
void printCompactJson(const CompactOutcome &outcome, std::ostream &out);

// "合計: N ファイルを最適化[, M ファイルは失敗]: sizes" over the files compacted.
void printCompactTotal(std::size_t done, std::size_t failed, std::uint64_t before, std::uint64_t after,
                       std::ostream &out);

}  // namespace jettool
