// Little- and big-endian integers in byte buffers. The checked readers throw
// jet::Error(Damaged) instead of reading past the end, so code that parses
// file content can use them without its own bounds arithmetic.
#pragma once

#include "jet/Error.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace jet {

using ByteSpan = std::span<const std::uint8_t>;
using MutableByteSpan = std::span<std::uint8_t>;

inline std::uint16_t loadLE16(const std::uint8_t *p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t loadLE24(const std::uint8_t *p) { return p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16); }
inline std::uint32_t loadLE32(const std::uint8_t *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint32_t loadBE24(const std::uint8_t *p) { return (static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2]; }
inline std::uint32_t loadBE32(const std::uint8_t *p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

inline void storeLE16(std::uint8_t *p, std::uint16_t v) { p[0] = v & 0xFF; p[1] = v >> 8; }
inline void storeLE24(std::uint8_t *p, std::uint32_t v) { p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; }
inline void storeLE32(std::uint8_t *p, std::uint32_t v)
{
    p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; p[3] = v >> 24;
}
inline void storeBE24(std::uint8_t *p, std::uint32_t v) { p[0] = (v >> 16) & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = v & 0xFF; }
inline void storeBE32(std::uint8_t *p, std::uint32_t v)
{
    p[0] = v >> 24; p[1] = (v >> 16) & 0xFF; p[2] = (v >> 8) & 0xFF; p[3] = v & 0xFF;
}

// A read-only view that refuses to read outside itself. `what` names the
// structure being parsed, for the error message.
class CheckedReader {
public:
    CheckedReader(ByteSpan bytes, std::string what) : bytes_(bytes), what_(std::move(what)) {}

    std::size_t size() const { return bytes_.size(); }
    ByteSpan bytes() const { return bytes_; }

    void require(std::size_t offset, std::size_t length) const
    {
        if (offset > bytes_.size() || length > bytes_.size() - offset)
            throw Error(ErrorKind::Damaged, what_ + ": オフセット " + std::to_string(offset) + " から " +
                                                std::to_string(length) + " バイトが範囲外です。");
    }
    std::uint8_t u8(std::size_t offset) const { require(offset, 1); return bytes_[offset]; }
    std::uint16_t u16(std::size_t offset) const { require(offset, 2); return loadLE16(bytes_.data() + offset); }
    std::uint32_t u24(std::size_t offset) const { require(offset, 3); return loadLE24(bytes_.data() + offset); }
    std::uint32_t u32(std::size_t offset) const { require(offset, 4); return loadLE32(bytes_.data() + offset); }
    std::uint32_t be24(std::size_t offset) const { require(offset, 3); return loadBE24(bytes_.data() + offset); }
    std::uint32_t be32(std::size_t offset) const { require(offset, 4); return loadBE32(bytes_.data() + offset); }
    ByteSpan slice(std::size_t offset, std::size_t length) const
    {
        require(offset, length);
        return bytes_.subspan(offset, length);
    }

private:
    ByteSpan bytes_;
    std::string what_;
};

}  // namespace jet
