#include "jet/convert/SidCodec.h"

#include "jet/Error.h"

#include <algorithm>
#include <set>

namespace jet::convert {

namespace {

using Sid = std::vector<std::uint8_t>;

const std::string kRefusal = "アクセス権の情報 (MSysACEs と MSysObjects の SID) を変換先の形式で正しく書けないため、形式を変換できません。";

Error refusal(const std::string &detail) { return Error(ErrorKind::Unsupported, kRefusal + " " + detail); }

// Appends the non-empty values of `columnName` in every row of `tableName`;
// a database without that table or column holds no such SIDs.
void appendColumnValues(const Database &db, const std::string &tableName, const std::string &columnName,
                        std::vector<Sid> &out)
{
    const TableEntry *table = db.catalog().findTable(tableName);
    if (!table || !table->isLocal())
        return;
    const TableDef def = db.tableDef(*table);
    const ColumnDef *column = def.columnByName(columnName);
    if (!column)
        return;
    db.forEachRow(def, tableName, [&](const LiveRow &, RowDecoder &decoder, const std::string &where) {
        Value value = decoder.value(*column, where);
        if (value.kind == Value::Kind::Binary && !value.bytes.empty())
            out.push_back(std::move(value.bytes));
    });
}

bool decodesToWellKnown(const SidStream &stream, const std::set<Sid> &obscured)
{
    const auto &known = wellKnownSids();
    return std::all_of(obscured.begin(), obscured.end(), [&](const Sid &sid) {
        if (sid.size() > stream.bytes.size())
            return false;
        const Sid plain = applySidStream(stream, sid, "");
        return std::find(known.begin(), known.end(), plain) != known.end();
    });
}

// Every stream that decodes all of `obscured` to well-known SIDs. The longest
// SID must itself be a well-known one, which leaves one candidate stream per
// well-known SID of its length.
std::set<Sid> decodingStreams(const std::set<Sid> &obscured)
{
    const Sid &longest = *std::max_element(obscured.begin(), obscured.end(),
                                           [](const Sid &a, const Sid &b) { return a.size() < b.size(); });
    std::set<Sid> found;
    for (const Sid &plain : wellKnownSids()) {
        if (plain.size() != longest.size())
            continue;
        SidStream candidate{applySidStream(SidStream{plain}, longest, "")};
        if (decodesToWellKnown(candidate, obscured))
            found.insert(std::move(candidate.bytes));
    }
    return found;
}

}  // namespace

const KnownStream &upgradeStream()
{
    static const KnownStream stream = {
#include "jet/convert/data/UpgradeSidStream.inc"
    };
    return stream;
}

const std::vector<std::vector<std::uint8_t>> &wellKnownSids()
{
    static const std::vector<std::vector<std::uint8_t>> sids = {
#include "jet/convert/data/WellKnownSids.inc"
    };
    return sids;
}

std::vector<std::uint8_t> applySidStream(const SidStream &stream, ByteSpan sid, const std::string &where)
{
    if (sid.size() > stream.bytes.size())
        throw refusal(where + ": SID が " + std::to_string(sid.size()) + " バイトあり、分かっているキー ストリームの " +
                      std::to_string(stream.bytes.size()) + " バイトを超えています。");
    std::vector<std::uint8_t> out(sid.begin(), sid.end());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] ^= stream.bytes[i];
    return out;
}

std::vector<std::vector<std::uint8_t>> storedSids(const Database &db)
{
    std::vector<Sid> out;
    appendColumnValues(db, "MSysACEs", "SID", out);
    appendColumnValues(db, "MSysObjects", "Owner", out);
    return out;
}

SidStream recoverSidStream(double creationDate, const std::vector<std::vector<std::uint8_t>> &obscured)
{
    std::set<Sid> distinct;
    for (const Sid &sid : obscured)
        if (!sid.empty())
            distinct.insert(sid);
    if (creationDate == upgradeStream().creationDate) {
        for (const Sid &sid : distinct)
            applySidStream(upgradeStream().stream, sid, "MSysACEs / MSysObjects");
        return upgradeStream().stream;
    }
    if (distinct.empty())
        return {};
    const std::set<Sid> streams = decodingStreams(distinct);
    if (streams.empty())
        throw refusal("MSysACEs / MSysObjects の SID " + std::to_string(distinct.size()) +
                      " 種類を既知の SID に復号できるキー ストリームがありません。");
    if (streams.size() > 1)
        throw refusal("MSysACEs / MSysObjects の SID を既知の SID に復号するキー ストリームが " +
                      std::to_string(streams.size()) + " 通りあり、どれが正しいか決められません。");
    return SidStream{*streams.begin()};
}

}  // namespace jet::convert
