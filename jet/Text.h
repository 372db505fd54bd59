// Text as Jet stores it, turned into UTF-8: Jet 3 code-page bytes, Jet 4
// UCS-2LE and its "compressed" form (docs/jet-format-notes.md §text).
#pragma once

#include "jet/Bytes.h"

#include <string>
#include <string_view>

namespace jet {

// UCS-2LE (surrogate pairs allowed) to UTF-8. An odd trailing byte is ignored;
// unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(ByteSpan bytes);

// A Jet 4 Text/Memo value: compressed when it starts with FF FE, else UCS-2LE.
std::string jet4TextToUtf8(ByteSpan bytes);

// Single- or double-byte code-page text to UTF-8. Code page 1252 is decoded by
// table (bytes Windows leaves undefined map to the C1 controls, as Windows does);
// other code pages go through iconv. Bytes iconv cannot convert become U+FFFD.
std::string codePageToUtf8(ByteSpan bytes, unsigned codePage);

// UTF-8 to UTF-16 code units (invalid sequences become U+FFFD).
std::u16string utf8ToUtf16(std::string_view utf8);

// UTF-8 to code-page bytes; returns false when a character has no mapping.
bool utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string &out);

// The same conversions appending to `out`, so callers can reuse its capacity.
void appendUtf16le(std::string &out, ByteSpan bytes);
void appendJet4Text(std::string &out, ByteSpan bytes);
void appendCodePageText(std::string &out, ByteSpan bytes, unsigned codePage);

// Appends one code point as UTF-8.
void appendUtf8(std::string &out, char32_t codePoint);

}  // namespace jet
