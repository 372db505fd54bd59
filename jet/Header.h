// Page 0 of a Jet 3 / Jet 4 database: version, the RC4-obscured header
// region, code page, sort order, creation date, page-encoding key and the
// masked database password (docs/jet-format-notes.md §hdr, §hdr.password).
#pragma once

#include "jet/Bytes.h"
#include "jet/Format.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

// Byte offsets on page 0 (after the header region has been de-obscured).
inline constexpr std::size_t kHeaderVersionOffset = 0x14;
inline constexpr std::size_t kHeaderRc4Offset = 0x18;
inline constexpr std::size_t kHeaderCodePageOffset = 0x3C;
inline constexpr std::size_t kHeaderEncodingKeyOffset = 0x3E;
inline constexpr std::size_t kHeaderPasswordOffset = 0x42;
inline constexpr std::size_t kHeaderSortVersionOffset = 0x71;  // Jet 4 only
inline constexpr std::size_t kHeaderCreationDateOffset = 0x72;  // Jet 4 only

struct DatabaseHeader {
    JetVersion version = JetVersion::Jet4;
    std::uint32_t pageSize = 4096;
    std::uint16_t codePage = 0;
    std::uint16_t sortOrder = 0;          // LCID, e.g. 0x0409 General, 0x0411 Japanese
    std::uint8_t sortOrderVersion = 0;    // Jet 4 only
    std::uint32_t encodingKey = 0;        // 0: pages are stored in clear
    std::optional<double> creationDate;   // Jet 4 only, days since 1899-12-30
    std::string password;                 // UTF-8; empty when the database has none

    bool encoded() const { return encodingKey != 0; }
    bool hasPassword() const { return !password.empty(); }
};

// Decides the format from the first bytes of a file (which are never obscured).
// Throws jet::Error(Format) naming `path` for anything but Jet 3 / Jet 4,
// ACE (.accdb) and MSISAM included.
JetVersion detectVersion(ByteSpan firstBytes, const std::string &path);

// XORs the fixed-key RC4 stream over the header region of page 0 in place;
// the same call obscures and de-obscures.
void toggleHeaderObscuring(MutableByteSpan page0, JetVersion version);

// Parses a de-obscured page 0.
DatabaseHeader parseHeader(ByteSpan page0, JetVersion version);

// The password field as stored on a de-obscured page 0 (Jet 4: masked with
// the creation date). Returns nullopt when the password cannot be stored
// (too long, or characters outside the code page for Jet 3).
std::optional<std::vector<std::uint8_t>> encodePasswordField(JetVersion version, std::string_view utf8,
                                                             std::uint16_t codePage,
                                                             std::optional<double> creationDate);

}  // namespace jet
