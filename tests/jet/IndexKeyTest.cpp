// Index keys computed from values, against keys Access stored in the test
// files (the file and table each pair was read from are named).
#include "jet/keys/IndexKey.h"

#include <gtest/gtest.h>

#include <cstdio>

using jet::ColumnType;
using jet::Value;
using jet::keys::KeyColumn;
using jet::keys::TextSortOrder;

namespace {

Value text(const std::string &utf8)
{
    Value v;
    v.kind = Value::Kind::Text;
    v.text = utf8;
    return v;
}

Value integer(std::int64_t n)
{
    Value v;
    v.kind = Value::Kind::Integer;
    v.integer = n;
    return v;
}

Value real(Value::Kind kind, double x)
{
    Value v;
    v.kind = kind;
    v.real = x;
    return v;
}

Value binary(std::vector<std::uint8_t> bytes)
{
    Value v;
    v.kind = Value::Kind::Binary;
    v.bytes = std::move(bytes);
    return v;
}

// The key of `values` in `columns`, as hex bytes, or "not computable".
std::string keyOf(const std::vector<KeyColumn> &columns, const std::vector<Value> &values)
{
    jet::keys::Key key;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (!jet::keys::appendKeyColumn(key, columns[i], values[i]))
            return "not computable";
    std::string out;
    for (std::uint8_t b : key) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%s%02X", out.empty() ? "" : " ", b);
        out += byte;
    }
    return out;
}

const KeyColumn j4Text{ColumnType::Text, true, TextSortOrder::Jet4General};
const KeyColumn j3Text{ColumnType::Text, true, TextSortOrder::Jet3General};
const KeyColumn longUp{ColumnType::Long, true};
const KeyColumn longDown{ColumnType::Long, false};

}  // namespace

// northwind-glogue (Jet 4, upgraded by Access from Jet 3): accents, the
// sharp s counted as two, unprintable characters with their positions.
TEST(IndexKey, Jet4GeneralTextAsAccessStoredIt)
{
    EXPECT_EQ(keyOf({j4Text}, {text("NuNuCa Nuß-Nougat-Creme")}),
              "7F 62 6F 62 6F 4D 4A 07 62 6F 6B 6B 62 64 6F 55 4A 6D 4D 69 51 60 51 01 01 01 01 80 33 06 82 80 4B 06 82 00");
    EXPECT_EQ(keyOf({j4Text}, {text("Plutzer Lebensmittelgroßmärkte AG")}),
              "7F 66 5E 6F 6D 78 51 69 07 5E 51 4C 51 62 6B 60 59 6D 6D 51 5E 55 69 64 6B 6B 60 4A 69 5C 6D 51 07 4A 55 "
              "01 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 02 13 00");
    EXPECT_EQ(keyOf({j4Text}, {text("Bon app'")}), "7F 4C 64 62 07 4A 66 66 01 01 01 01 80 23 06 80 00");
    // The later ACE engine counts the sharp s once: the hyphens move to 10 and 16.
    jet::keys::Key ace;
    ASSERT_TRUE(jet::keys::appendJet4GeneralText(ace, u"Nuß-N", true, jet::keys::Jet4Writer::Ace));
    EXPECT_EQ(ace, (jet::keys::Key{0x62, 0x6F, 0x6B, 0x6B, 0x62, 0x01, 0x01, 0x01, 0x01, 0x80, 0x13, 0x06, 0x82, 0x00}));
    // jackcess V2000 testV2000, Table1: trailing spaces are not part of the key.
    EXPECT_EQ(keyOf({j4Text}, {text("abcdefg  ")}), "7F 4A 4C 4D 4F 51 53 55 01 00");
    // Beyond U+00FF only the 27 characters of code page 1252 have weights here.
    EXPECT_EQ(keyOf({j4Text}, {text("品目")}), "not computable");
    EXPECT_NE(keyOf({j4Text}, {text("€")}), "not computable");
}

// jackcess V1997 files (Jet 3, written by Access): MSysObjects (ParentId,
// Name) and MSysModules2's three-column key with a descending part.
TEST(IndexKey, Jet3GeneralAndMixedKeysAsAccessStoredThem)
{
    EXPECT_EQ(keyOf({longUp, j3Text}, {integer(251658241), text("Table1")}), "7F 8F 00 00 01 7F 77 60 61 6D 66 57 00");
    EXPECT_EQ(keyOf({j3Text, longUp, longDown}, {text("MSysDb"), integer(2), integer(1)}),
              "7F 6F 76 7D 76 64 61 00 7F 80 00 00 02 80 7F FF FF FE");
    // compIndexTestV1997 Table1: a descending Long.
    EXPECT_EQ(keyOf({longDown}, {integer(4813)}), "80 7F FF ED 32");
    // Text outside code page 1252 has no Jet 3 key.
    EXPECT_EQ(keyOf({j3Text}, {text("Ω")}), "not computable");
}

TEST(IndexKey, NonTextKeysAsAccessStoredThem)
{
    // MSysQueries (ObjectId, Attribute, Order) in the Jet 4 files.
    EXPECT_EQ(keyOf({longUp, {ColumnType::Byte, true}, {ColumnType::Binary, true}},
                    {integer(-2147483640), integer(0), binary({0x00, 0x00, 0x00, 0x01})}),
              "7F 00 00 00 08 7F 00 7F 00 00 00 01 00 00 00 00 04");
    // northwind-glogue Orders.OrderDate.
    EXPECT_EQ(keyOf({{ColumnType::DateTime, true}}, {real(Value::Kind::DateTime, 35250.0)}), "7F C0 E1 36 40 00 00 00 00");
    // A null value is its flag alone; a Yes/No value is never null.
    EXPECT_EQ(keyOf({longUp, longDown}, {Value{}, Value{}}), "00 FF");
    Value yes;
    yes.kind = Value::Kind::Boolean;
    yes.boolean = true;
    EXPECT_EQ(keyOf({{ColumnType::Boolean, true}, {ColumnType::Boolean, false}}, {yes, yes}), "7F 00 80 FF");
}

TEST(IndexKey, SortOrdersComputedAreGeneralOnly)
{
    using jet::JetVersion;
    EXPECT_EQ(jet::keys::textSortOrder(JetVersion::Jet3, 0x0409, 0x0409, 1252, 0), TextSortOrder::Jet3General);
    EXPECT_EQ(jet::keys::textSortOrder(JetVersion::Jet3, 0x0409, 0x0409, 936, 0), TextSortOrder::Unknown);
    EXPECT_EQ(jet::keys::textSortOrder(JetVersion::Jet4, 0, 0x0409, 1252, 0), TextSortOrder::Jet4General);
    EXPECT_EQ(jet::keys::textSortOrder(JetVersion::Jet4, 0x0409, 0x0409, 1252, 1), TextSortOrder::Unknown);
    EXPECT_EQ(jet::keys::textSortOrder(JetVersion::Jet4, 0x0411, 0x0411, 932, 0), TextSortOrder::Unknown);
}
