// SIDs between the formats: Jet 4 twins decode to what Microsoft's own
// down-conversion wrote, unknown SIDs are refused, and a Jet 3 file's SIDs
// survive obscuring with the upgrade stream and recovery.
#include "JetTestFiles.h"

#include "jet/Database.h"
#include "jet/convert/SidCodec.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

namespace {

using Sid = std::vector<std::uint8_t>;
using AcesByObject = std::map<std::string, std::set<Sid>>;

std::unique_ptr<jet::Database> openTestFile(const std::string &name)
{
    return jet::Database::open(testdata::database(name).string(), testdata::knownPassword(name));
}

// MSysACEs SIDs grouped by the name of the object they protect, decoded with `stream`.
AcesByObject acesByObject(const jet::Database &db, const jet::convert::SidStream *stream)
{
    std::map<std::int64_t, std::string> names;
    for (const jet::CatalogObject &object : db.catalog().objects)
        names[object.id] = object.name;
    const jet::TableEntry *table = db.catalog().findTable("MSysACEs");
    const jet::TableDef def = db.tableDef(*table);
    AcesByObject out;
    db.forEachRow(def, "MSysACEs", [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
        const jet::Value id = decoder.value(*def.columnByName("ObjectId"), where);
        const Sid sid = decoder.value(*def.columnByName("SID"), where).bytes;
        const std::string &object = names[static_cast<std::uint32_t>(id.integer)];
        out[object].insert(stream ? jet::convert::applySidStream(*stream, sid, where) : sid);
    });
    return out;
}

jet::convert::SidStream recoverFrom(const jet::Database &db)
{
    return jet::convert::recoverSidStream(*db.header().creationDate, jet::convert::storedSids(db));
}

void expectRefused(const std::function<void()> &call)
{
    try {
        call();
        ADD_FAILURE() << "not refused";
    } catch (const jet::Error &error) {
        EXPECT_EQ(error.kind(), jet::ErrorKind::Unsupported);
        EXPECT_EQ(std::string(error.what()).rfind("アクセス権の情報 (MSysACEs と MSysObjects の SID) を変換先の形式で正しく書けないため、形式を変換できません。", 0), 0u);
    }
}

}  // namespace

// The three pairs whose Jet 3 twin kept the original's SIDs; in the other five
// Microsoft's converter put its own user's SID on the system objects.
TEST(ConvertSid, TwinsDecodeToTheirJet3Twin)
{
    SKIP_WITHOUT_TESTDATA();
    for (const std::string test : {"delColTest", "overflowTest", "queryTest"}) {
        SCOPED_TRACE(test);
        const auto jet4 = openTestFile(testdata::twinName(test, true));
        const auto jet3 = openTestFile(testdata::twinName(test, false));
        const jet::convert::SidStream stream = recoverFrom(*jet4);
        const AcesByObject decoded = acesByObject(*jet4, &stream);
        const AcesByObject plain = acesByObject(*jet3, nullptr);
        std::size_t compared = 0;
        for (const auto &[object, sids] : decoded) {
            if (!plain.count(object))
                continue;  // MSysAccessObjects: Jet 4 only
            EXPECT_EQ(sids, plain.at(object)) << object;
            ++compared;
        }
        EXPECT_GE(compared, 17u);
    }
}

TEST(ConvertSid, RefusesWhatItCannotDecodeWithoutGuessing)
{
    const jet::convert::SidStream stream = jet::convert::upgradeStream().stream;
    const auto obscure = [&](const Sid &sid) { return jet::convert::applySidStream(stream, sid, "test"); };
    const Sid wellKnownLong = jet::convert::wellKnownSids().back();
    Sid fabricated = wellKnownLong;
    fabricated[40] ^= 0x5A;
    expectRefused([&] { jet::convert::recoverSidStream(1.0, {obscure({0x02, 0x01}), obscure(wellKnownLong), obscure(fabricated)}); });
    // One short SID fits four well-known ones equally well.
    expectRefused([&] { jet::convert::recoverSidStream(1.0, {obscure({0x02, 0x01})}); });
    expectRefused([&] { jet::convert::applySidStream(stream, Sid(stream.bytes.size() + 1, 0x01), "MSysACEs"); });
    expectRefused([&] { jet::convert::recoverSidStream(jet::convert::upgradeStream().creationDate, {Sid(103, 0x01)}); });
    SKIP_WITHOUT_TESTDATA();
    expectRefused([&] { recoverFrom(*openTestFile("jackcess__V2000_compIndexTestV2000.mdb")); });
}

TEST(ConvertSid, Jet3SidsRoundTripThroughTheUpgradeStream)
{
    SKIP_WITHOUT_TESTDATA();
    const auto jet3 = openTestFile("jackcess__V1997_test2V1997.mdb");
    const std::vector<Sid> plain = jet::convert::storedSids(*jet3);
    ASSERT_FALSE(plain.empty());
    const jet::convert::KnownStream &upgrade = jet::convert::upgradeStream();
    std::vector<Sid> obscured;
    for (const Sid &sid : plain)
        obscured.push_back(jet::convert::applySidStream(upgrade.stream, sid, "MSysACEs"));
    // By the date, and by the well-known SIDs alone as for any other source.
    for (const double date : {upgrade.creationDate, 1.0}) {
        const jet::convert::SidStream recovered = jet::convert::recoverSidStream(date, obscured);
        for (std::size_t i = 0; i < plain.size(); ++i)
            ASSERT_EQ(jet::convert::applySidStream(recovered, obscured[i], "MSysACEs"), plain[i]);
    }
}

// Every Jet 4 file either yields one stream or is refused as such; files with
// the upgrade date give its stream from their SIDs alone.
TEST(ConvertSid, EveryJet4FileRecoversOrIsRefused)
{
    SKIP_WITHOUT_TESTDATA();
    std::size_t recovered = 0;
    std::size_t withUpgradeDate = 0;
    for (const testdata::JetFile &file : testdata::jetFiles()) {
        const auto db = openTestFile(file.name);
        if (db->header().version != jet::JetVersion::Jet4)
            continue;
        SCOPED_TRACE(file.name);
        const std::vector<Sid> sids = jet::convert::storedSids(*db);
        const double date = *db->header().creationDate;
        try {
            jet::convert::recoverSidStream(date == jet::convert::upgradeStream().creationDate ? 1.0 : date, sids);
            ++recovered;
        } catch (const jet::Error &error) {
            EXPECT_EQ(error.kind(), jet::ErrorKind::Unsupported) << error.what();
            continue;
        }
        if (date == jet::convert::upgradeStream().creationDate) {
            EXPECT_EQ(jet::convert::recoverSidStream(1.0, sids).bytes, jet::convert::upgradeStream().stream.bytes);
            ++withUpgradeDate;
        }
    }
    EXPECT_GE(recovered, 23u);
    EXPECT_EQ(withUpgradeDate, 7u);
}
