// RC4, as Jet uses it: the fixed-key obscuring of the header region and the
// per-page encoding of "encrypted" databases. Each use restarts from the key.
#pragma once

#include "jet/Bytes.h"

namespace jet {

// XORs the RC4 keystream for `key` onto `data` (encoding and decoding are the same).
void rc4Apply(ByteSpan key, MutableByteSpan data);

// The key that obscures page 0's header region.
inline constexpr std::uint8_t kHeaderRc4Key[4] = {0xC7, 0xDA, 0x39, 0x6B};

// Encodes or decodes one page of an encoded database in place: the key is the
// database's page-encoding key XORed with the page number (both u32 LE).
void rc4ApplyPage(std::uint32_t encodingKey, std::uint32_t pageNumber, MutableByteSpan page);

}  // namespace jet
