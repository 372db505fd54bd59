// Finds a named section in an ELF file (32- or 64-bit, little-endian) and
// reads its bytes. The file is untrusted: every offset, count and size taken
// from it is checked against the file's length before use, and a damaged or
// foreign file simply has no such section.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

struct ElfSectionPlace {
    std::uint64_t Offset = 0;
    std::uint64_t Size = 0;
};

// Where the section lies in the file; nothing when the file cannot be read,
// is no little-endian ELF file, is damaged or has no section of that name
// with contents in the file.
std::optional<ElfSectionPlace> FindElfSection(const QString &fileName, const QByteArray &sectionName);

// The bytes of the section, or nothing as above. Sections larger than
// maxSize are treated as missing.
std::optional<QByteArray> ReadElfSection(const QString &fileName, const QByteArray &sectionName,
                                         std::uint64_t maxSize);
