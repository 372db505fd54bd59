#pragma once
#include "jet/Bytes.h"
#include "jet/Database.h"
#include <string>
#include <vector>
namespace jet::convert {
struct SidStream { std::vector<std::uint8_t> bytes; };
struct KnownStream { double creationDate; SidStream stream; };
const KnownStream &upgradeStream();
std::vector<std::uint8_t> applySidStream(const SidStream &stream, ByteSpan sid, const std::string &where);
std::vector<std::vector<std::uint8_t>> storedSids(const Database &db);
SidStream recoverSidStream(double creationDate, const std::vector<std::vector<std::uint8_t>> &obscured);
}
