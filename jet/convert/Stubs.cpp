// Temporary stand-ins until the real pieces are merged.
#include "jet/convert/ConvertedHeader.h"
#include "jet/convert/SidCodec.h"
#include "jet/Error.h"
namespace jet::convert {
const KnownStream &upgradeStream() { static KnownStream s{40000.5, {std::vector<std::uint8_t>(200, 0)}}; return s; }
std::vector<std::uint8_t> applySidStream(const SidStream &stream, ByteSpan sid, const std::string &)
{ std::vector<std::uint8_t> out(sid.begin(), sid.end()); for (std::size_t i = 0; i < out.size() && i < stream.bytes.size(); ++i) out[i] ^= stream.bytes[i]; return out; }
std::vector<std::vector<std::uint8_t>> storedSids(const Database &) { return {}; }
SidStream recoverSidStream(double, const std::vector<std::vector<std::uint8_t>> &) { return {std::vector<std::uint8_t>(200, 0)}; }
}
