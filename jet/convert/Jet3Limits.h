// What a Jet 4 table may hold that a Jet 3 copy cannot: checked over the
// source's description and values before anything is written, so that a
// refused conversion leaves nothing behind (docs/conversion-notes.md).
#pragma once

#include "jet/Value.h"
#include "jet/convert/RowEncoder.h"
#include "jet/convert/TableDescription.h"

#include <string>
#include <vector>

namespace jet::convert {

struct Refusal {
    std::string table;
    std::string column;   // empty when the refusal is about the table as a whole
    std::string message;  // for the user, naming table and column
};

inline constexpr std::size_t kJet3MaxFieldBytes = 255;  // Text and Binary columns

// Decimal and other types Jet 3 lacks, Text and Binary lengths over 255
// bytes, and table, column and index names the code page cannot hold.
std::vector<Refusal> checkJet3Definition(const TableDescription &table, unsigned codePage);

// Runs over a table's rows (values as the reader decodes them): text the code
// page cannot hold, and rows longer than a Jet 3 page takes even with every
// long value moved out of the row. One refusal per column or per table, with
// the number of values.
class Jet3ValueCheck {
public:
    // `jet3Table` is the table as Jet 3 lays it out (retargetTableDef).
    Jet3ValueCheck(const TableDef &jet3Table, unsigned codePage, std::string tableName);

    void addRow(const std::vector<Value> &values, RowShape shape);
    std::vector<Refusal> refusals() const;

private:
    struct ColumnTally {
        std::size_t count = 0;
        char32_t first = 0;
    };
    const TableDef &def_;
    unsigned codePage_;
    std::string tableName_;
    RowEncoder encoder_;
    std::vector<ColumnTally> badText_;  // by column position
    std::vector<std::size_t> longText_; // Text values over 255 code-page bytes (double-byte code pages)
    std::vector<std::vector<std::uint8_t>> longValueStubs_;
    std::vector<std::uint8_t> row_;
    std::size_t longRows_ = 0;
    std::size_t longestRow_ = 0;
};

}  // namespace jet::convert
