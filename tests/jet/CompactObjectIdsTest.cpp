// Renumbered copies: every stored object id names the same object as in the
// source (or, as there, none), the copy has no free page, and the integer
// key segments of the rewritten indexes encode the rows' new ids.
#include "CompactTestSupport.h"

#include "jet/Compact.h"
#include "jet/Database.h"
#include "jet/IndexPage.h"
#include "jet/UsageMap.h"
#include "jet/write/IdKeyRewriter.h"
#include "jet/write/ObjectIdMap.h"

using namespace compacttest;

namespace {

// "Tables/MSysACEs" for an id naming an object; "none" otherwise.
std::map<std::uint32_t, std::string> namePaths(const jet::Catalog &catalog)
{
    std::map<std::uint32_t, const jet::CatalogObject *> byId;
    for (const jet::CatalogObject &object : catalog.objects)
        byId[object.id] = &object;
    std::map<std::uint32_t, std::string> paths;
    for (const auto &[id, object] : byId) {
        std::string path = object->name;
        std::set<std::uint32_t> seen{id};
        for (auto up = byId.find(object->parentId); up != byId.end() && seen.insert(up->first).second;
             up = byId.find(up->second->parentId))
            path = up->second->name + "/" + path;
        paths[id] = path;
    }
    return paths;
}

// Per table and id column, the sorted names of what each row's id names.
std::map<std::string, std::vector<std::string>> namedIds(const jet::Database &db)
{
    const auto paths = namePaths(db.catalog());
    std::map<std::string, std::vector<std::string>> named;
    for (const jet::TableEntry &table : db.catalog().tables) {
        if (!table.isLocal())
            continue;
        const jet::TableDef def = db.tableDef(table);
        for (const jet::ColumnDef *column : jet::write::objectIdColumns(table.name, def)) {
            std::vector<std::string> &names = named[table.name + "." + column->name];
            db.forEachRow(def, table.name, [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
                const jet::Value value = decoder.value(*column, where);
                const auto found = paths.find(static_cast<std::uint32_t>(value.integer));
                names.push_back(value.isNull() ? "null" : found == paths.end() ? "none" : found->second);
            });
            std::sort(names.begin(), names.end());
        }
    }
    return named;
}

// Every entry of an index led by an id column starts with the id of its row.
void expectIdKeysMatchRows(const jet::Database &db)
{
    for (const jet::TableEntry &table : db.catalog().tables) {
        if (!table.isLocal())
            continue;
        const jet::TableDef def = db.tableDef(table);
        std::map<jet::RowId, std::map<std::uint16_t, std::int32_t>> idsOfRow;
        for (const jet::ColumnDef *column : jet::write::objectIdColumns(table.name, def))
            db.forEachRow(def, table.name, [&](const jet::LiveRow &row, jet::RowDecoder &decoder, const std::string &where) {
                const jet::Value value = decoder.value(*column, where);
                if (!value.isNull())
                    idsOfRow[row.position][column->number] = static_cast<std::int32_t>(value.integer);
            });
        for (const jet::RealIndexDef &index : def.realIndexes) {
            const jet::IndexKeyColumn lead = index.columns.front();
            for (const jet::IndexEntry &entry : jet::readIndexEntries(db.file(), index, table.name)) {
                const auto row = idsOfRow.find(entry.row);
                if (row == idsOfRow.end() || !row->second.count(lead.columnNumber))
                    break;  // not an index led by an id column
                const auto segment = jet::write::longKeySegment(row->second.at(lead.columnNumber), lead.ascending);
                ASSERT_GE(entry.key.size(), segment.size()) << table.name;
                EXPECT_TRUE(std::equal(segment.begin(), segment.end(), entry.key.begin()))
                    << table.name << " index " << index.number;
            }
        }
    }
}

TEST(CompactObjectIds, EveryIdNamesTheSameObjectInTheCopyWithoutFreePages)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("object-ids");
    const auto databases = jetDatabases();
    ASSERT_GE(databases.size(), 40u);
    for (const TestDatabase &db : databases) {
        SCOPED_TRACE(db.name);
        jet::CompactRequest request;
        request.sourcePath = db.path.string();
        request.sourcePassword = request.targetPassword = db.password;
        request.targetPath = scratch.file(db.name);
        request.engineType = readAll(db.path)[0x14] == 0 ? 4 : 5;
        jet::CompactResult result;
        try {
            result = jet::compactDatabase(request);
        } catch (const jet::Error &e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        const auto source = jet::Database::open(request.sourcePath, db.password);
        const auto copy = jet::Database::open(request.targetPath, db.password);
        EXPECT_EQ(result.freePages, 0u);
        EXPECT_TRUE(jet::readGlobalUsageMap(copy->file()).pages.empty());
        EXPECT_LE(copy->file().pageCount(), source->file().pageCount());
        EXPECT_EQ(namedIds(*copy), namedIds(*source));
        expectIdKeysMatchRows(*copy);
        expectIdKeysMatchRows(*source);
    }
}

TEST(CompactObjectIds, KeySegmentsOfIdsAreMappedAndTheRestKept)
{
    EXPECT_EQ(jet::write::longKeySegment(2, true), (std::vector<std::uint8_t>{0x7F, 0x80, 0, 0, 2}));
    EXPECT_EQ(jet::write::longKeySegment(-1, true), (std::vector<std::uint8_t>{0x7F, 0x7F, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(jet::write::longKeySegment(2, false), (std::vector<std::uint8_t>{0x80, 0x7F, 0xFF, 0xFF, 0xFD}));

    jet::TableDef def;
    def.columns.resize(2);
    def.columns[0].name = "ParentId";
    def.columns[0].type = jet::ColumnType::Long;
    def.columns[0].number = 0;
    def.columns[1].name = "Name";
    def.columns[1].type = jet::ColumnType::Text;
    def.columns[1].number = 1;
    jet::RealIndexDef index;
    index.columns = {{0, true}, {1, true}};
    jet::write::ObjectIdMap ids;
    ids.add(0x30, 0x05);
    const jet::write::IdKeyRewriter rewriter(def, index, {&def.columns[0]}, ids, "test");
    ASSERT_TRUE(rewriter.rewritesAnything());

    std::vector<std::uint8_t> key = jet::write::longKeySegment(0x30, true);
    const std::vector<std::uint8_t> text{0x7F, 0x41, 0x42, 0x01, 0x00};
    key.insert(key.end(), text.begin(), text.end());
    std::vector<std::uint8_t> out;
    rewriter.rewrite(key, out);
    std::vector<std::uint8_t> expected = jet::write::longKeySegment(0x05, true);
    expected.insert(expected.end(), text.begin(), text.end());
    EXPECT_EQ(out, expected);

    const std::vector<std::uint8_t> nullId{0x00, 0x7F, 0x41};  // a null ParentId: only its flag byte
    rewriter.rewrite(nullId, out);
    EXPECT_EQ(out, nullId);
    EXPECT_THROW(rewriter.rewrite(std::vector<std::uint8_t>{0x7F, 0x80}, out), jet::Error);
    EXPECT_THROW(rewriter.rewrite(std::vector<std::uint8_t>{0x42}, out), jet::Error);

    // An id after a text segment cannot be found in the key.
    index.columns = {{1, true}, {0, true}};
    EXPECT_THROW(jet::write::IdKeyRewriter(def, index, {&def.columns[0]}, ids, "test"), jet::Error);
}

}  // namespace

TEST(CompactObjectIds, IncompleteOrCollidingMapsAreRefusedBeforeWriting)
{
    jet::Catalog catalog;
    const auto add = [&](std::uint32_t id, const std::string &name, std::int16_t type) {
        jet::CatalogObject object;
        object.id = id;
        object.name = name;
        object.type = type;
        catalog.objects.push_back(object);
    };
    add(2, "MSysObjects", 1);
    add(0x40, "Orders", 1);
    add(0x80000001u, "Query", 5);
    jet::write::ObjectIdMap ids;
    ids.add(2, 2);
    EXPECT_THROW(ids.requireComplete(catalog), jet::Error);  // Orders has no new page
    ids.add(0x40, 3);
    EXPECT_NO_THROW(ids.requireComplete(catalog));
    add(3, "Form", -32768);  // an object whose id a new table page now is
    EXPECT_THROW(ids.requireComplete(catalog), jet::Error);
}
