// Page 0 of a converted copy: it parses back as the target format with the
// source's fields, it matches byte for byte the page 0 Microsoft's converter
// wrote for the same database, and passwords the target cannot hold are refused.
#include "ReadEverything.h"

#include "jet/Header.h"
#include "jet/convert/ConvertedHeader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using jet::JetVersion;

std::vector<std::uint8_t> storedPage0(const std::string &name)
{
    std::vector<std::uint8_t> bytes = testdata::loadBytes(name);
    const JetVersion version = jet::detectVersion(bytes, name);
    bytes.resize(jet::formatConstants(version).pageSize);
    return bytes;
}

jet::DatabaseHeader headerOf(std::vector<std::uint8_t> storedPage, const std::string &name)
{
    const JetVersion version = jet::detectVersion(storedPage, name);
    jet::toggleHeaderObscuring(storedPage, version);
    return jet::parseHeader(storedPage, version);
}

std::set<std::size_t> differingOffsets(const std::vector<std::uint8_t> &a, const std::vector<std::uint8_t> &b)
{
    std::set<std::size_t> offsets;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i])
            offsets.insert(i);
    return offsets;
}

jet::DatabaseHeader handMadeSource(JetVersion version, std::uint16_t codePage)
{
    jet::DatabaseHeader header;
    header.version = version;
    header.pageSize = jet::formatConstants(version).pageSize;
    header.codePage = codePage;
    header.sortOrder = codePage == 932 ? 0x0411 : 0x0409;
    if (version == JetVersion::Jet4)
        header.creationDate = 40000.5;
    return header;
}

}  // namespace

TEST(ConvertedHeader, ParsesBackAsTheTargetWithTheSourceFields)
{
    SKIP_WITHOUT_TESTDATA();
    const double date = 45000.75;
    struct Case {
        const char *name;
        JetVersion target;
        const char *password;
    };
    for (const Case &c : {Case{"jackcess__V2000_test2V2000.mdb", JetVersion::Jet3, "p\xC3\xA4ssw\xC3\xB6rd"},
                          Case{"jackcess__V1997_test2V1997.mdb", JetVersion::Jet4, "p\xC3\xA4ssw\xC3\xB6rd"},
                          Case{"jackcessencrypt__db-enc.mdb", JetVersion::Jet3, "fourteen chars"},
                          Case{"psc-secure__MSSECURE.MDW", JetVersion::Jet4, "twenty characters!!!"},
                          Case{"satoh-accessreader__TestDataBase_Test.mdb", JetVersion::Jet3, "\xE5\x90\x88\xE8\xA8\x80\xE8\x91\x89"},
                          Case{"psc-adoexamples__db1.mdb", JetVersion::Jet4, ""}}) {
        SCOPED_TRACE(c.name);
        const jet::DatabaseHeader source = headerOf(storedPage0(c.name), c.name);
        std::vector<std::uint8_t> page = jet::convert::buildConvertedHeaderPage(source, c.target, date, c.password);
        ASSERT_EQ(page.size(), jet::formatConstants(c.target).pageSize);
        ASSERT_EQ(jet::detectVersion(page, "converted.mdb"), c.target);

        const jet::DatabaseHeader parsed = headerOf(page, "converted.mdb");
        EXPECT_EQ(parsed.version, c.target);
        EXPECT_EQ(parsed.codePage, source.codePage);
        EXPECT_EQ(parsed.sortOrder, source.sortOrder);
        EXPECT_EQ(parsed.sortOrderVersion, 0);
        EXPECT_EQ(parsed.encodingKey, source.encodingKey);
        EXPECT_EQ(parsed.password, c.password);
        EXPECT_EQ(parsed.creationDate, c.target == JetVersion::Jet4 ? std::optional<double>(date) : std::nullopt);
    }
}

// The V1997 files were written by Microsoft's converter from their V2000 twins.
TEST(ConvertedHeader, MatchesTheTwinMicrosoftConvertedByteForByte)
{
    SKIP_WITHOUT_TESTDATA();
    const auto jet4 = storedPage0("jackcess__V2000_test2V2000.mdb");
    const auto jet3 = storedPage0("jackcess__V1997_test2V1997.mdb");
    const jet::DatabaseHeader jet4Header = headerOf(jet4, "test2V2000");

    // Down: only the low bytes of the first two words of the last 512 bytes differ;
    // they vary from file to file (a fresh database holds 0x0101, 0x0100, as we write).
    const auto down = jet::convert::buildConvertedHeaderPage(jet4Header, JetVersion::Jet3, 0.0, "");
    EXPECT_EQ(differingOffsets(down, jet3), (std::set<std::size_t>{0x600, 0x602}));

    // Up, given the original's creation date (the mask of its empty password):
    // the twin's page 0 exactly, its build stamp 9025 and tail included.
    const auto up = jet::convert::buildConvertedHeaderPage(headerOf(jet3, "test2V1997"), JetVersion::Jet4,
                                                           *jet4Header.creationDate, "");
    EXPECT_EQ(differingOffsets(up, jet4), std::set<std::size_t>{});
}

TEST(ConvertedHeader, RefusesWhatTheTargetCannotHold)
{
    const auto refusal = [](const jet::DatabaseHeader &source, JetVersion target, const std::string &password) {
        try {
            jet::convert::checkConvertedPassword(source, target, password);
        } catch (const jet::Error &error) {
            EXPECT_EQ(error.kind(), jet::ErrorKind::Unsupported);
            return std::string(error.what());
        }
        return std::string();
    };
    const jet::DatabaseHeader western = handMadeSource(JetVersion::Jet4, 1252);
    EXPECT_EQ(refusal(western, JetVersion::Jet3, "abcdefghijklmn"), "");
    EXPECT_EQ(refusal(western, JetVersion::Jet3, "abcdefghijklmno"),
              "Jet 3.x 形式に変換するには、パスワードを 14 文字以内にしてください。");
    EXPECT_EQ(refusal(western, JetVersion::Jet3, "\xE2\x82\xAC" "uro"), "");  // the euro sign is in 1252
    EXPECT_EQ(refusal(western, JetVersion::Jet3, "\xC4\x81"),                 // U+0101 is not
              "パスワードに Jet 3.x 形式のコード ページ 1252 で表せない文字が含まれているため、変換できません。");

    // Ten double-byte characters fill the 20 bytes; eleven do not fit.
    std::string ten;
    for (int i = 0; i < 10; ++i)
        ten += "\xE3\x81\x82";
    const jet::DatabaseHeader japanese = handMadeSource(JetVersion::Jet4, 932);
    EXPECT_EQ(refusal(japanese, JetVersion::Jet3, ten), "");
    EXPECT_EQ(refusal(japanese, JetVersion::Jet3, ten + "\xE3\x81\x82"),
              "パスワードがコード ページ 932 で 20 バイトを超えるため、Jet 3.x 形式に変換できません。");

    const jet::DatabaseHeader jet3 = handMadeSource(JetVersion::Jet3, 1252);
    EXPECT_EQ(refusal(jet3, JetVersion::Jet4, std::string(20, 'a')), "");
    EXPECT_EQ(refusal(jet3, JetVersion::Jet4, std::string(21, 'a')),
              "Jet 4.x 形式に変換するには、パスワードを 20 文字以内にしてください。");

    // Building refuses the same, and a request that is no conversion at all.
    const auto kindOf = [](auto build) {
        try {
            build();
        } catch (const jet::Error &error) {
            return std::optional<jet::ErrorKind>(error.kind());
        }
        return std::optional<jet::ErrorKind>();
    };
    using jet::convert::buildConvertedHeaderPage;
    EXPECT_EQ(kindOf([&] { buildConvertedHeaderPage(western, JetVersion::Jet3, 0, std::string(15, 'a')); }),
              jet::ErrorKind::Unsupported);
    EXPECT_EQ(kindOf([&] { buildConvertedHeaderPage(western, JetVersion::Jet4, 40000, ""); }), jet::ErrorKind::Argument);
    EXPECT_EQ(kindOf([&] { buildConvertedHeaderPage(jet3, JetVersion::Jet4, std::nan(""), ""); }),
              jet::ErrorKind::Argument);
}
