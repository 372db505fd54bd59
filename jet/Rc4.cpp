#include "jet/Rc4.h"

#include <array>
#include <utility>

namespace jet {

void rc4Apply(ByteSpan key, MutableByteSpan data)
{
    std::array<std::uint8_t, 256> s{};
    for (unsigned i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    if (!key.empty()) {
        std::uint8_t j = 0;
        for (unsigned i = 0; i < 256; ++i) {
            j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
            std::swap(s[i], s[j]);
        }
    }
    std::uint8_t i = 0, j = 0;
    for (std::uint8_t &byte : data) {
        i = static_cast<std::uint8_t>(i + 1);
        j = static_cast<std::uint8_t>(j + s[i]);
        std::swap(s[i], s[j]);
        byte ^= s[static_cast<std::uint8_t>(s[i] + s[j])];
    }
}

void rc4ApplyPage(std::uint32_t encodingKey, std::uint32_t pageNumber, MutableByteSpan page)
{
    std::uint8_t key[4];
    storeLE32(key, encodingKey ^ pageNumber);
    rc4Apply(ByteSpan(key, 4), page);
}

}  // namespace jet
