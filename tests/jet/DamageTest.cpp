// Files damaged at chosen places, and with garbage anywhere: every case ends
// in a clear jet::Error (or reads), never in a crash, a hang or a read past a
// buffer (run these under the sanitizer build too).
#include "ReadEverything.h"

#include "jet/DataPage.h"
#include "jet/LongValue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using testdata::firstReadError;
using testdata::loadBytes;
using testdata::openBytes;

namespace {

constexpr char kNorthwind[] = "northwind-glogue__Northwind.mdb";
constexpr char kJet3File[] = "psc-adoexamples__db2.mdb";

jet::TableDef definitionOf(const jet::Database &db, const std::string &table)
{
    return db.tableDef(*db.catalog().findTable(table));
}

std::size_t offsetOf(const jet::Database &db, jet::PageNumber page, std::size_t inPage)
{
    return static_cast<std::size_t>(page) * db.file().pageSize() + inPage;
}

void expectDamaged(const std::vector<std::uint8_t> &bytes, const std::string &expectedText)
{
    const std::string error = firstReadError(bytes);
    EXPECT_NE(error, "") << "damage went unnoticed";
    EXPECT_NE(error.find(expectedText), std::string::npos) << error;
}

}  // namespace

TEST(Damage, TruncatedFiles)
{
    SKIP_WITHOUT_TESTDATA();
    for (const char *name : {kNorthwind, kJet3File}) {
        SCOPED_TRACE(name);
        const auto bytes = loadBytes(name);
        auto tiny = bytes;
        tiny.resize(bytes.size() < 5000 ? 100 : 5000);
        try {
            openBytes(tiny);
            ADD_FAILURE() << "a file of two pages opened";
        } catch (const jet::Error &error) {
            EXPECT_EQ(error.kind(), jet::ErrorKind::Damaged);
            EXPECT_NE(std::string(error.what()).find("途中で切れています"), std::string::npos) << error.what();
        }
        auto half = bytes;
        half.resize(bytes.size() / 2 + 100);
        expectDamaged(half, "ファイルの終わり");
        try {
            EXPECT_FALSE(jet::checkDatabase(*openBytes(half)).clean());
        } catch (const jet::Error &error) {
            EXPECT_EQ(error.kind(), jet::ErrorKind::Damaged) << "the catalog itself lies past the cut";
        }
    }
}

TEST(Damage, PageNumbersPastTheEnd)
{
    SKIP_WITHOUT_TESTDATA();
    auto bytes = loadBytes(kNorthwind);
    const auto db = openBytes(bytes);
    const jet::TableDef orders = definitionOf(*db, "Orders");
    auto pastEnd = bytes;
    jet::storeLE32(pastEnd.data() + offsetOf(*db, orders.firstPage, orders.realIndexes[0].rootPageOffset), 0x00FFFFFF);
    expectDamaged(pastEnd, "ページ 16777215 はファイルの終わり");

    auto catalogMap = bytes;
    jet::storeLE32(catalogMap.data() + offsetOf(*db, 2, db->file().format().tdefOwnedMapOffset), 0x7FFFFF00);
    EXPECT_THROW(openBytes(catalogMap), jet::Error);
}

TEST(Damage, CyclicChains)
{
    SKIP_WITHOUT_TESTDATA();
    auto bytes = loadBytes(kNorthwind);
    const auto db = openBytes(bytes);

    // A table definition whose next page is itself.
    const jet::TableDef orders = definitionOf(*db, "Orders");
    auto tdefCycle = bytes;
    jet::storeLE32(tdefCycle.data() + offsetOf(*db, orders.firstPage, 4), orders.firstPage);
    expectDamaged(tdefCycle, "循環");

    // A chained long value whose first fragment points back at itself.
    std::optional<jet::RowId> chainStart;
    for (const jet::TableEntry &table : db->catalog().tables) {
        if (table.kind != jet::TableKind::User)
            continue;
        db->forEachRow(definitionOf(*db, table.name), table.name,
                       [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
                           for (const jet::LongValueField &field : decoder.longValueFields(where))
                               if (field.header.kind == jet::LongValueHeader::Kind::Chained && !chainStart)
                                   chainStart = field.header.firstRow;
                       });
    }
    ASSERT_TRUE(chainStart) << "Northwind's pictures are stored in chained long values";
    jet::PageHandle keep;
    const jet::ByteSpan fragment = jet::readRow(db->file(), *chainStart, keep, "test");
    auto lvalCycle = bytes;
    const std::size_t fragmentAt = offsetOf(*db, chainStart->page, static_cast<std::size_t>(fragment.data() - keep->bytes.data()));
    jet::storeLE32(lvalCycle.data() + fragmentAt, chainStart->toRowRef());
    expectDamaged(lvalCycle, "循環");

    // An index node whose tail is itself.
    for (const jet::TableEntry &table : db->catalog().tables) {
        if (!table.isLocal())
            continue;
        for (const jet::RealIndexDef &index : definitionOf(*db, table.name).realIndexes) {
            const jet::IndexPage root = jet::readIndexPage(db->file(), index.rootPage, table.name);
            if (root.leaf)
                continue;
            auto indexCycle = bytes;
            jet::storeLE32(indexCycle.data() + offsetOf(*db, root.number, db->file().format().indexTailOffset), root.number);
            expectDamaged(indexCycle, "循環");
            return;
        }
    }
    ADD_FAILURE() << "no index with a node page found";
}

TEST(Damage, OffsetsAndCountsRunningOffTheirPage)
{
    SKIP_WITHOUT_TESTDATA();
    for (const char *name : {kNorthwind, kJet3File}) {
        SCOPED_TRACE(name);
        auto bytes = loadBytes(name);
        const auto db = openBytes(bytes);
        const jet::FormatConstants &format = db->file().format();
        const jet::TableEntry *user = nullptr;
        for (const jet::TableEntry &table : db->catalog().tables)
            if (table.kind == jet::TableKind::User && !user)
                user = &table;
        const jet::TableDef def = db->tableDef(*user);
        const jet::PageNumber dataPage = jet::readUsageMap(db->file(), def.ownedPages, "test").pages.front();

        auto badOffset = bytes;
        jet::storeLE16(badOffset.data() + offsetOf(*db, dataPage, format.dataRowTableOffset), 0x1FFF);
        expectDamaged(badOffset, "範囲外");

        auto badCount = bytes;
        jet::storeLE16(badCount.data() + offsetOf(*db, dataPage, format.dataRowCountOffset), 0xFFFF);
        expectDamaged(badCount, "収まりません");

        auto badColumns = bytes;
        jet::storeLE16(badColumns.data() + offsetOf(*db, def.firstPage, format.tdefNumColsOffset), 0xFFFF);
        expectDamaged(badColumns, "範囲外");
    }
}

TEST(Damage, WrongPageTypes)
{
    SKIP_WITHOUT_TESTDATA();
    auto bytes = loadBytes(kNorthwind);
    const auto db = openBytes(bytes);
    const jet::TableDef orders = definitionOf(*db, "Orders");

    auto notDefinition = bytes;
    notDefinition[offsetOf(*db, orders.firstPage, 0)] = 0x04;
    expectDamaged(notDefinition, "テーブル定義のページではありません");

    auto notIndex = bytes;
    notIndex[offsetOf(*db, orders.realIndexes[0].rootPage, 0)] = 0x01;
    expectDamaged(notIndex, "索引ページが壊れています");

    // A data page turned into something else is skipped by reads but found by the check.
    const jet::PageNumber dataPage = jet::readUsageMap(db->file(), orders.ownedPages, "test").pages.front();
    auto notData = bytes;
    notData[offsetOf(*db, dataPage, 0)] = 0x05;
    const jet::CheckReport report = jet::checkDatabase(*openBytes(notData));
    EXPECT_FALSE(report.clean());
}

TEST(Damage, NotJetFilesAreRefusedByName)
{
    SKIP_WITHOUT_TESTDATA();
    try {
        jet::Database::open(testdata::database("MANIFEST.md").string(), "");
        ADD_FAILURE() << "MANIFEST.md opened";
    } catch (const jet::Error &error) {
        EXPECT_EQ(error.kind(), jet::ErrorKind::Format);
        EXPECT_EQ(std::string(error.what()),
                  "データベースの形式 '" + testdata::database("MANIFEST.md").string() + "' を認識できません。");
    }
    const std::string ace = testdata::database("jackcess__V2007_testV2007.accdb").string();
    try {
        jet::Database::open(ace, "");
        ADD_FAILURE() << ace << " opened";
    } catch (const jet::Error &error) {
        EXPECT_EQ(error.kind(), jet::ErrorKind::Format);
        EXPECT_EQ(std::string(error.what()),
                  "データベース '" + ace + "' を開けません。ACE (.accdb) 形式のデータベースはまだ扱えません。");
    }
}

// What stands at the path is named, in Japanese, without waiting for a FIFO's
// writer; a copy that stops after its header page says so.
TEST(Damage, SourcesThatAreNoDatabaseFilesSayWhatIsWrong)
{
    SKIP_WITHOUT_TESTDATA();
    std::string folder = (std::filesystem::temp_directory_path() / "tessivar-sources-XXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const std::string fifo = folder + "/pipe.mdb";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto page0 = loadBytes(kNorthwind);
    const std::string headerOnly = folder + "/header-only.mdb";
    std::ofstream(headerOnly, std::ios::binary).write(reinterpret_cast<const char *>(page0.data()), 4096);
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "' を開けません。名前付きパイプ (FIFO) です。"},
        {folder, "' を開けません。フォルダーです。"},
        {"/dev/null", "' を開けません。デバイスです。"},
        {folder + "/missing.mdb", "' を開けません。ファイルが見つかりません。"},
        {headerOnly, "' は途中で切れています（4096 バイト。ヘッダー ページ (ページ 0) の後がありません）。"}};
    for (const auto &[path, text] : cases) {
        try {
            jet::Database::open(path, "");
            ADD_FAILURE() << path << " opened";
        } catch (const jet::Error &error) {
            EXPECT_NE(std::string(error.what()).find("'" + path + text), std::string::npos) << error.what();
        }
    }
    std::filesystem::remove_all(folder);
}

// Garbage at random places of several real files: reading and checking must
// end normally or with jet::Error. Seeds are fixed so failures repeat.
TEST(Damage, GarbageAnywhere)
{
    SKIP_WITHOUT_TESTDATA();
    const char *files[] = {kNorthwind, kJet3File, "jackcess__V2000_test2V2000.mdb", "jackcess__V1997_overflowTestV1997.mdb",
                           "jackcess__V2000_indexTestV2000.mdb"};
    std::mt19937 random(20261209);
    for (const char *name : files) {
        const auto pristine = loadBytes(name);
        for (int round = 0; round < 30; ++round) {
            auto bytes = pristine;
            const int damages = 1 + static_cast<int>(random() % 20);
            for (int i = 0; i < damages; ++i) {
                const std::size_t at = 4096 + random() % (bytes.size() - 4096);
                bytes[at] = static_cast<std::uint8_t>(random());
            }
            SCOPED_TRACE(std::string(name) + " round " + std::to_string(round));
            try {
                const auto db = openBytes(bytes);
                try {
                    testdata::readEverything(*db);
                } catch (const jet::Error &) {
                }
                jet::checkDatabase(*db);
            } catch (const jet::Error &error) {
                EXPECT_NE(std::string(error.what()), "");
            }
        }
    }
}
