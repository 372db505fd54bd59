// Live rows of one table in physical order: the table's data pages from its
// owned-pages map in ascending order, row slots in row order, deleted rows and
// moved overflow bodies skipped, overflow stubs followed to their bodies
// (docs/jet-format-notes.md §page.rows, §rows.overflow).
#pragma once

#include "jet/DataPage.h"
#include "jet/TableDef.h"
#include "jet/UsageMap.h"

#include <optional>
#include <string>
#include <vector>

namespace jet {

struct LiveRow {
    RowId position;   // the row's identity: where indexes point (the stub if it overflowed)
    RowId dataAt;     // where its bytes are (equal to position unless it overflowed)
    ByteSpan bytes;   // the row bytes; valid until the next call to TableScan::next()
    bool overflowed() const { return position != dataAt; }
};

// Pages of the owned-pages map that a scan skips because they are not data
// pages of this table (reported by the checker).
struct SkippedPage {
    PageNumber page;
    std::string reason;
};

// What a scan does with such a page: the checker records it and goes on; a
// copy must stop, since the rows the map promised there would be lost.
enum class ForeignPages : std::uint8_t { Record, Fail };

class TableScan {
public:
    // Reads the owned-pages map; throws jet::Error(Damaged) if it is unreadable.
    // With ForeignPages::Fail, next() throws jet::Error(Damaged) naming the
    // table and the page instead of skipping a page that is not its data page.
    TableScan(const PageFile &file, const TableDef &def, std::string tableName,
              ForeignPages foreignPages = ForeignPages::Record);

    // Advances to the next live row; false at the end. Throws jet::Error(Damaged)
    // for rows whose slot or overflow pointer is broken.
    bool next();
    const LiveRow &row() const { return row_; }

    const UsageMap &ownedPages() const { return owned_; }
    const std::vector<SkippedPage> &skippedPages() const { return skipped_; }
    // "テーブル 'T' のファイル 'F' のページ P 行 R" for messages about the current row.
    std::string where() const;
    // The same into `out` (reusing its capacity; cheap enough for every row).
    void where(std::string &out) const;

private:
    bool openNextPage();
    void skip(PageNumber page, std::string reason);
    void resolveOverflow(ByteSpan stub);

    const PageFile &file_;
    const TableDef &def_;
    std::string tableName_;
    ForeignPages foreignPages_;
    std::string wherePrefix_;
    UsageMap owned_;
    std::size_t pageIndex_ = 0;
    std::optional<DataPageView> page_;
    unsigned nextRow_ = 0;
    PageHandle bodyPage_;
    LiveRow row_;
    std::vector<SkippedPage> skipped_;
};

}  // namespace jet
