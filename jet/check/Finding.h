// What the consistency check reports: each finding with where it was seen,
// and the report that gathers them. Problems are damage; notes are oddities
// Access itself leaves behind; unsupported marks what this engine cannot
// judge.
#pragma once

#include "jet/Format.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jet {

struct Finding {
    enum class Severity : std::uint8_t { Problem, Note, Unsupported };
    Severity severity = Severity::Problem;
    std::string table;                   // empty for file-level findings
    std::optional<PageNumber> page;
    std::optional<std::size_t> offset;   // byte offset on that page (or row number, see message)
    std::string message;

    // One tab-separated line: severity, table, page, offset, message.
    std::string format() const;
};

struct CheckReport {
    std::vector<Finding> findings;
    std::uint64_t tables = 0;
    std::uint64_t rows = 0;
    std::uint64_t indexEntries = 0;

    std::size_t count(Finding::Severity severity) const;
    bool clean() const { return count(Finding::Severity::Problem) == 0; }
};

}  // namespace jet
