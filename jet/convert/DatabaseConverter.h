// The whole conversion of a database into the other format, into an output:
// page 0 in the target's layout, the global map, every table definition
// (MSysObjects first, on page 2) built anew in the target's page size, then
// table after table its rows, long values and indexes, then the usage maps
// (docs/conversion-notes.md §convert). Refusals come before the first page
// is written; what the copy leaves out on purpose comes back as notices.
#pragma once

#include "jet/Database.h"
#include "jet/convert/ConvertedCopyCheck.h"
#include "jet/write/PageOutput.h"

#include <functional>
#include <string>
#include <vector>

namespace jet::convert {

struct ConversionSettings {
    JetVersion target = JetVersion::Jet4;
    std::string targetPassword;
    std::string spillFolder;
    std::size_t sortBudget = 128u << 20;
    std::function<void(double fraction)> progress;  // 0..1 over the copying
};

struct ConversionOutcome {
    std::uint32_t tables = 0;
    std::uint64_t rows = 0;
    std::uint32_t userTables = 0;
    std::uint64_t userRows = 0;
    std::uint32_t pageCount = 0;
    std::uint32_t pageSize = 0;
    std::vector<ExpectedConvertedTable> expected;
    // Turns a value of the copy into the form the expected digests were taken in.
    std::function<Normaliser(const std::string &table)> copyNormaliser;
    std::vector<std::string> notices;
    // Indexes of the source that could not be walked or did not hold one
    // entry per row: the copy's are built from the rows, so it does not
    // repeat the fault.
    std::uint32_t repairs = 0;
};

// Throws jet::Error(Unsupported) naming table and column for what the target
// cannot hold, before anything is written.
ConversionOutcome writeConvertedCopy(const Database &source, write::PageOutput &out,
                                     const ConversionSettings &settings);

inline constexpr const char *kAccessObjectsLeftOut =
    "Access 2000 以降のフォーム・レポート・モジュールは Jet 3.x 形式に保存できないため、コピーに含めていません。";

}  // namespace jet::convert
