#pragma once
#include "jet/convert/ValueDigest.h"
#include <memory>
#include <optional>
namespace jet::convert {
struct ExpectedConvertedTable {
    std::string name;
    PageNumber definitionPage = 0;
    write::TableDigest digest;
    std::optional<std::uint64_t> storedRows;
    std::vector<std::uint16_t> skippedColumns;
};
void verifyConvertedCopy(const std::function<std::unique_ptr<Database>()> &openCopy,
                         const std::vector<ExpectedConvertedTable> &tables,
                         const std::function<Normaliser(const std::string &table)> &normaliserFor);
}
