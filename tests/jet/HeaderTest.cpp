// Page 0: password check and masking, format facts, page decoding.
#include "ReadEverything.h"

#include "jet/Header.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr char kWithPassword[] = "mdbreader__password_data_V2000_with-password.mdb";

std::string openError(const std::string &name, const std::string &password)
{
    try {
        jet::PageFile::open(testdata::database(name).string(), password);
    } catch (const jet::Error &error) {
        return error.what();
    }
    return "";
}

}  // namespace

TEST(Password, DatabasesWithAPasswordOpenOnlyWithExactlyIt)
{
    SKIP_WITHOUT_TESTDATA();
    for (const auto &[name, password] : std::vector<std::pair<std::string, std::string>>{
             {kWithPassword, "password"}, {"psc-pwencrypt__password.mdb", "passw0rd"}, {"ucanaccess__password.mdb", "ucanaccess"}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(openError(name, password), "");
        EXPECT_EQ(openError(name, ""), "パスワードが正しくありません。");
        EXPECT_EQ(openError(name, password + " "), "パスワードが正しくありません。");
        std::string upper = password;
        upper[0] = static_cast<char>(std::toupper(upper[0]));
        EXPECT_EQ(openError(name, upper), "パスワードが正しくありません。");
        EXPECT_EQ(jet::PageFile::open(testdata::database(name).string(), password)->header().password, password);
    }
}

TEST(Password, DatabasesWithoutOneOpenWithAnyPassword)
{
    SKIP_WITHOUT_TESTDATA();
    for (const char *name : {"mdbreader__password_data_V2003_no-password.mdb", "psc-adoexamples__db1.mdb"}) {
        EXPECT_EQ(openError(name, ""), "");
        EXPECT_EQ(openError(name, "anything"), "");
        EXPECT_FALSE(jet::PageFile::open(testdata::database(name).string(), "x")->header().hasPassword());
    }
}

TEST(Password, EncodingReproducesTheStoredJet4Field)
{
    SKIP_WITHOUT_TESTDATA();
    const auto file = jet::PageFile::open(testdata::database(kWithPassword).string(), "password");
    const jet::DatabaseHeader &header = file->header();
    const auto field = jet::encodePasswordField(jet::JetVersion::Jet4, "password", header.codePage, header.creationDate);
    ASSERT_TRUE(field);
    const jet::ByteSpan stored = file->headerPage().subspan(jet::kHeaderPasswordOffset, 40);
    EXPECT_TRUE(std::equal(field->begin(), field->end(), stored.begin()));
    EXPECT_FALSE(jet::encodePasswordField(jet::JetVersion::Jet4, std::string(21, 'a'), 1252, header.creationDate));
}

TEST(Password, Jet3FieldRoundTripsThroughTheHeader)
{
    SKIP_WITHOUT_TESTDATA();
    auto bytes = testdata::loadBytes("psc-adoexamples__db1.mdb");
    std::vector<std::uint8_t> page0(bytes.begin(), bytes.begin() + 2048);
    jet::toggleHeaderObscuring(page0, jet::JetVersion::Jet3);
    const auto field = jet::encodePasswordField(jet::JetVersion::Jet3, "Geheim\xC3\xA9", 1252, std::nullopt);
    ASSERT_TRUE(field);
    std::memcpy(page0.data() + jet::kHeaderPasswordOffset, field->data(), field->size());
    EXPECT_EQ(jet::parseHeader(page0, jet::JetVersion::Jet3).password, "Geheim\xC3\xA9");
    jet::toggleHeaderObscuring(page0, jet::JetVersion::Jet3);
    std::copy(page0.begin(), page0.end(), bytes.begin());
    EXPECT_THROW(testdata::openBytes(bytes, ""), jet::Error);
    EXPECT_NO_THROW(testdata::openBytes(bytes, "Geheim\xC3\xA9"));
}

TEST(Header, FormatFactsOfRealFiles)
{
    SKIP_WITHOUT_TESTDATA();
    const auto jet3 = jet::PageFile::open(testdata::database("psc-adoexamples__db1.mdb").string(), "");
    EXPECT_EQ(jet3->version(), jet::JetVersion::Jet3);
    EXPECT_EQ(jet3->pageSize(), 2048u);
    EXPECT_EQ(jet3->header().codePage, 1252);
    EXPECT_EQ(jet3->header().sortOrder, 0x0409);
    EXPECT_FALSE(jet3->header().creationDate);

    const auto japanese = jet::PageFile::open(testdata::database("satoh-accessreader__TestDataBase_Test.mdb").string(), "");
    EXPECT_EQ(japanese->version(), jet::JetVersion::Jet4);
    EXPECT_EQ(japanese->header().sortOrder, 0x0411);
    EXPECT_EQ(japanese->header().codePage, 932);

    const auto encoded = jet::PageFile::open(testdata::database("jackcessencrypt__db-enc.mdb").string(), "");
    EXPECT_TRUE(encoded->header().encoded());
    EXPECT_EQ(encoded->page(1)->bytes[0], 0x01) << "page 1 decodes to the global usage map page";
    EXPECT_EQ(encoded->page(2)->bytes[0], 0x02) << "page 2 decodes to MSysObjects' definition";
}

TEST(PageFile, CacheStaysWithinItsSize)
{
    SKIP_WITHOUT_TESTDATA();
    const auto file = jet::PageFile::open(testdata::database("northwind-glogue__Northwind.mdb").string(), "", 16);
    std::vector<jet::PageHandle> held;
    for (jet::PageNumber page = 0; page < file->pageCount(); ++page) {
        const jet::PageHandle handle = file->page(page);
        ASSERT_EQ(handle->number, page);
        if (page % 100 == 0)
            held.push_back(handle);
    }
    for (const jet::PageHandle &handle : held)
        EXPECT_EQ(handle->bytes.size(), 4096u) << "pages held by callers outlive the cache";
    const std::uint64_t loaded = file->pagesLoaded();
    file->page(file->pageCount() - 1);
    EXPECT_EQ(file->pagesLoaded(), loaded) << "the last page is still cached";
    EXPECT_THROW(file->page(file->pageCount()), jet::Error);
}
