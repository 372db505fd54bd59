// Security identifiers (MSysACEs.SID, MSysObjects.Owner) between the formats:
// Jet 3 stores them plainly, Jet 4 XORs them with a key stream of its own per
// file, applied from the first byte of every SID. How Jet derives that stream
// is unknown (docs/sid-study.md), so a conversion works from streams that are
// known: one taken over with its creation date for copies going up, and one
// recovered from well-known SIDs for Jet 4 sources going down.
#pragma once

#include "jet/Bytes.h"
#include "jet/Database.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet::convert {

struct SidStream {
    std::vector<std::uint8_t> bytes;
};

// The creation date and key stream of a real Jet 4 file, recovered by known
// plaintext. A Jet 3 -> Jet 4 copy gets this creation date and its SIDs
// obscured with this stream; it covers the longest SID of the Jet 3 files seen.
struct KnownStream {
    double creationDate = 0.0;
    SidStream stream;
};
const KnownStream &upgradeStream();

// The plain SIDs recovery may decode to: the short ones every database holds
// and the long ones that recur in unrelated Jet 3 files.
const std::vector<std::vector<std::uint8_t>> &wellKnownSids();

// `sid` XOR the stream (the same call obscures and decodes). Throws
// jet::Error(Unsupported) naming `where` when the sid is longer than the stream.
std::vector<std::uint8_t> applySidStream(const SidStream &stream, ByteSpan sid, const std::string &where);

// Every SID value of a database as stored: MSysACEs.SID and MSysObjects.Owner
// of every row, null and empty values left out.
std::vector<std::vector<std::uint8_t>> storedSids(const Database &db);

// The stream of a Jet 4 source: upgradeStream()'s when `creationDate` is its
// date (our own copies), else the one stream under which every SID in
// `obscured` decodes to a well-known SID. Throws jet::Error(Unsupported) when
// no stream does, or when more than one does (the SIDs would be guessed).
SidStream recoverSidStream(double creationDate, const std::vector<std::vector<std::uint8_t>> &obscured);

}  // namespace jet::convert
