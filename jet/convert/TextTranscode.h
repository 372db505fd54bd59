// Text between the two formats' storage and UTF-16: Jet 3 bytes in the
// database code page, Jet 4 UTF-16LE with or without Unicode compression
// (docs/jet-format-notes.md §text, §text.j4; docs/conversion-notes.md).
#pragma once

#include "jet/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet::convert {

// Jet 3 code-page bytes as UTF-16. Code page 1252 is decoded by table with
// the five undefined bytes kept as C1 controls (as Windows and our reader
// do), so that every byte string has one exact inverse.
std::u16string jet3TextToUtf16(ByteSpan bytes, unsigned codePage);

// UTF-16 into code-page bytes, appended to `out`. Returns the index of the
// first character the code page cannot hold (nothing is then appended), or
// nullopt when the whole text converted.
std::optional<std::size_t> appendJet3Text(std::u16string_view text, unsigned codePage, std::vector<std::uint8_t> &out);

// A stored Jet 4 Text/Memo value as UTF-16, compressed (FF FE ...) or plain;
// unlike the UTF-8 path of the reader this keeps every code unit as stored.
std::u16string jet4TextToUtf16(ByteSpan bytes);

// A Jet 4 value for a column with or without the Unicode-compression flag.
// With it, the compressed form is stored when it is shorter than plain
// UTF-16LE; a 0x00 byte switches modes there, so a character whose UTF-16
// unit holds a zero byte (U+0000, U+0100, U+4E00, ...) cannot be part of a
// two-byte run and keeps the whole value plain. Values longer than
// kMaxCompressedCharacters are stored plain, as Jet does.
inline constexpr std::size_t kMaxCompressedCharacters = 1024;
void appendJet4Text(std::u16string_view text, bool compressible, std::vector<std::uint8_t> &out);

// UTF-8 (the reader's text values) to UTF-16 and back, exactly for valid input.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view text);

}  // namespace jet::convert
