#include "jet/check/IdCheck.h"

#include "jet/RowDecoder.h"
#include "jet/TableScan.h"
#include "jet/UsageMap.h"

#include <map>
#include <set>

namespace jet {

namespace {

constexpr std::uint32_t kPageBits = 0x00FFFFFF;

class IdCheck {
public:
    IdCheck(const Database &db, CheckSink &sink) : db_(db), sink_(sink)
    {
        for (const CatalogObject &object : db.catalog().objects)
            ids_.insert(object.id);
    }

    void run()
    {
        checkTableIds();
        sink_.guarded("MSysACEs", [&] { checkAccessEntries(); });
        for (const TableEntry &table : db_.catalog().tables)
            if (table.definitionPage != 0)
                sink_.guarded(table.name, [&] { checkForeignKeys(table); });
        sink_.guarded("", [&] { noteFreePages(); });
    }

private:
    void checkTableIds()
    {
        std::map<PageNumber, std::string> byPage;
        for (const CatalogObject &object : db_.catalog().objects) {
            if (object.type != 1)
                continue;
            if ((object.id & ~kPageBits) != 0)
                sink_.problem("MSysObjects", object.position.page, object.position.row,
                              "テーブル '" + object.name + "' の ID " + std::to_string(object.id) +
                                  " が定義ページの番号ではありません。");
            const auto [it, fresh] = byPage.emplace(object.id & kPageBits, object.name);
            if (!fresh)
                sink_.problem("MSysObjects", object.position.page, object.position.row,
                              "テーブル '" + object.name + "' と '" + it->second + "' の ID が同じです。");
        }
        for (const auto &[page, name] : byPage)
            definitions_.insert(page);
    }

    void checkAccessEntries()
    {
        const TableEntry *entry = db_.catalog().findTable("MSysACEs");
        if (!entry || !entry->isLocal())
            return;
        const TableDef def = db_.tableDef(*entry);
        const ColumnDef *objectId = def.columnByName("ObjectId");
        if (!objectId)
            return;
        RowDecoder decoder(db_.file(), def);
        TableScan scan(db_.file(), def, entry->name);
        while (scan.next()) {
            decoder.split(scan.row().bytes, scan.where());
            const Value value = decoder.value(*objectId, scan.where());
            if (value.kind == Value::Kind::Integer && !ids_.count(static_cast<std::uint32_t>(value.integer)))
                sink_.problem(entry->name, scan.row().position.page, scan.row().position.row,
                              "ObjectId " + std::to_string(value.integer) + " はどのオブジェクトも指していません。");
        }
    }

    void checkForeignKeys(const TableEntry &table)
    {
        const TableDef def = db_.tableDef(table);
        for (const LogicalIndexDef &index : def.logicalIndexes)
            if (index.foreignKeyRole != 0 && !definitions_.count(index.otherTable))
                sink_.problem(table.name, def.firstPage, index.otherTableOffset,
                              "索引 '" + index.name + "' の相手テーブルのページ " + std::to_string(index.otherTable) +
                                  " はどのテーブルの定義でもありません。");
    }

    void noteFreePages()
    {
        const std::size_t free = readGlobalUsageMap(db_.file()).pages.size();
        if (free)
            sink_.note("", std::nullopt, "空きページが " + std::to_string(free) + " ページあります。");
    }

    const Database &db_;
    CheckSink &sink_;
    std::set<std::uint32_t> ids_;
    std::set<PageNumber> definitions_;
};

}  // namespace

void checkObjectIds(const Database &db, CheckSink &sink) { IdCheck(db, sink).run(); }

}  // namespace jet
