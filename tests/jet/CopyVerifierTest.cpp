// The last check of a compacted copy: it takes each table's digest while the
// checker reads the rows, and that digest must be the one a separate read of
// the table gives, and must change when a row or a long value does.
#include "CompactTestSupport.h"
#include "JetTestFiles.h"
#include "ReadEverything.h"

#include "jet/DataPage.h"
#include "jet/write/CopyVerifier.h"

#include <gtest/gtest.h>

namespace {

std::vector<jet::write::ExpectedTable> digestsOf(const jet::Database &db)
{
    std::vector<jet::write::ExpectedTable> tables;
    for (const jet::TableEntry &entry : db.catalog().tables)
        if (entry.isLocal())
            tables.push_back({entry.name, entry.definitionPage,
                              jet::write::digestTable(db, entry.name, entry.definitionPage), std::nullopt});
    return tables;
}

std::string verificationError(const std::string &path, const std::vector<jet::write::ExpectedTable> &tables)
{
    try {
        jet::write::verifyCopy(path, "", tables);
        return "";
    } catch (const jet::Error &error) {
        return error.what();
    }
}

// Where on disk the first long value stored outside its row begins.
std::optional<std::size_t> firstOutOfRowValue(const jet::Database &db)
{
    for (const jet::TableEntry &entry : db.catalog().tables) {
        if (!entry.isLocal())
            continue;
        const jet::TableDef def = db.tableDef(entry);
        std::optional<std::size_t> found;
        db.forEachRow(def, entry.name, [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
            for (const jet::LongValueField &field : decoder.longValueFields(where))
                if (!found && field.header.kind == jet::LongValueHeader::Kind::SingleRow && field.header.length > 0) {
                    jet::PageHandle keep;
                    const jet::ByteSpan row = jet::readRow(db.file(), field.header.firstRow, keep, where);
                    found = static_cast<std::size_t>(field.header.firstRow.page) * db.file().pageSize() +
                            static_cast<std::size_t>(row.data() - keep->bytes.data());
                }
        });
        if (found)
            return found;
    }
    return std::nullopt;
}

}  // namespace

TEST(CopyVerifier, DigestsTakenWhileCheckingMatchASeparateRead)
{
    SKIP_WITHOUT_TESTDATA();
    for (const testdata::JetFile &file : testdata::jetFiles()) {
        SCOPED_TRACE(file.name);
        const auto db = jet::Database::open(file.path(), file.password);
        EXPECT_NO_THROW(jet::write::verifyCopy(file.path(), file.password, digestsOf(*db)));
    }
}

TEST(CopyVerifier, RefusesMissingRowsAndChangedLongValues)
{
    SKIP_WITHOUT_TESTDATA();
    const std::string name = "northwind-glogue__Northwind.mdb";
    const auto pristine = testdata::loadBytes(name);
    const auto db = testdata::openBytes(pristine);
    const auto expected = digestsOf(*db);
    compacttest::ScratchFolder folder("verifier");
    const std::string path = folder.file("copy.mdb");
    const auto write = [&](const std::vector<std::uint8_t> &bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    };

    write(pristine);
    EXPECT_EQ(verificationError(path, expected), "");

    auto oneRowMore = expected;
    const auto withRows = std::find_if(oneRowMore.begin(), oneRowMore.end(), [](const auto &t) { return t.digest.rows > 0; });
    ASSERT_NE(withRows, oneRowMore.end());
    ++withRows->digest.rows;
    EXPECT_NE(verificationError(path, oneRowMore).find("'" + withRows->name + "' の行数"), std::string::npos);

    // The copier's own count agrees with the copy, the source's stored count does not.
    auto storedMore = expected;
    storedMore[withRows - oneRowMore.begin()].storedRows = withRows->digest.rows;
    EXPECT_NE(verificationError(path, storedMore).find("元の定義の行数は " + std::to_string(withRows->digest.rows)),
              std::string::npos);

    // A changed byte inside a memo stored on an LVAL page: the structure is
    // sound, only the content differs.
    const std::optional<std::size_t> value = firstOutOfRowValue(*db);
    ASSERT_TRUE(value.has_value()) << "no long value outside its row in " << name;
    auto changed = pristine;
    changed[*value] ^= 0x01;
    write(changed);
    EXPECT_NE(verificationError(path, expected).find("内容が元のデータベースと一致しません"), std::string::npos);
}
