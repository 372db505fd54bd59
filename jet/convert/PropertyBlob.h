#pragma once
#include "jet/Bytes.h"
#include "jet/Format.h"
#include <string>
#include <vector>
namespace jet::convert {
std::vector<std::uint8_t> convertPropertyBlob(ByteSpan blob, JetVersion from, JetVersion to, unsigned codePage,
                                              const std::string &where);
std::vector<std::uint8_t> neutralPropertyBlob(ByteSpan blob, JetVersion version, unsigned codePage,
                                              const std::string &where);
}
