// Temporary stand-ins until the real pieces are merged.
#include "jet/convert/ConvertedHeader.h"
#include "jet/convert/PropertyBlob.h"
#include "jet/convert/SidCodec.h"
#include "jet/Error.h"
namespace jet::convert {
std::vector<std::uint8_t> convertPropertyBlob(ByteSpan blob, JetVersion, JetVersion, unsigned, const std::string &)
{ return {blob.begin(), blob.end()}; }
std::vector<std::uint8_t> neutralPropertyBlob(ByteSpan blob, JetVersion, unsigned, const std::string &)
{ return {blob.begin(), blob.end()}; }
const KnownStream &upgradeStream() { static KnownStream s{40000.5, {std::vector<std::uint8_t>(200, 0)}}; return s; }
std::vector<std::uint8_t> applySidStream(const SidStream &stream, ByteSpan sid, const std::string &)
{ std::vector<std::uint8_t> out(sid.begin(), sid.end()); for (std::size_t i = 0; i < out.size() && i < stream.bytes.size(); ++i) out[i] ^= stream.bytes[i]; return out; }
std::vector<std::vector<std::uint8_t>> storedSids(const Database &) { return {}; }
SidStream recoverSidStream(double, const std::vector<std::vector<std::uint8_t>> &) { return {std::vector<std::uint8_t>(200, 0)}; }
}
#include "jet/convert/ConvertedCopyCheck.h"
#include "jet/check/Checker.h"
namespace jet::convert {
std::uint64_t digestValues(const TableDef &, const std::vector<Value> &, const Normaliser &, const std::vector<std::uint16_t> &) { return 0; }
void verifyConvertedCopy(const std::function<std::unique_ptr<Database>()> &openCopy, const std::vector<ExpectedConvertedTable> &,
                         const std::function<Normaliser(const std::string &)> &)
{
    const auto copy = openCopy();
    CheckOptions options;
    options.reopen = openCopy;
    const CheckReport report = checkDatabase(*copy, options);
    for (const Finding &finding : report.findings)
        if (finding.severity == Finding::Severity::Problem)
            throw Error(ErrorKind::Damaged, "検査に失敗: " + finding.table + ": " + finding.message);
}
}
