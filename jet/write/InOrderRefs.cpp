#include "jet/write/InOrderRefs.h"

namespace jet::write {

namespace {

// Without a CPU baseline that has the instruction, std::popcount is a call
// into the runtime; the bit trick inline is several times faster than that.
inline unsigned bitsSet(std::uint64_t x)
{
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<unsigned>((x * 0x0101010101010101ull) >> 56);
}

}  // namespace

void InOrderRefs::finish(const std::uint32_t *bits, std::size_t words)
{
    refs_.index();
    blockRanks_.resize((words + kWordsPerBlock - 1) / kWordsPerBlock);
    std::uint32_t rank = 0;
    for (std::size_t w = 0; w < words; ++w) {
        if (w % kWordsPerBlock == 0)
            blockRanks_[w / kWordsPerBlock] = rank;
        rank += bitsSet(bits[w]);
    }
    claims_.reset(refs_.count());
    finished_ = true;
}

std::size_t InOrderRefs::bytes() const
{
    return refs_.bytes() + blockRanks_.size() * sizeof(std::uint32_t) + (claims_.size() + 7) / 8;
}

std::uint32_t InOrderRefs::ordinalOf(const std::uint32_t *bits, std::size_t slot) const
{
    const std::size_t word = slot / 32;
    std::uint32_t rank = blockRanks_[word / kWordsPerBlock];
    std::size_t w = word - word % kWordsPerBlock;
    for (; w + 2 <= word; w += 2)
        rank += bitsSet(bits[w] | std::uint64_t(bits[w + 1]) << 32);
    if (w < word)
        rank += bitsSet(bits[w]);
    return rank + bitsSet(bits[word] & ((std::uint32_t(1) << (slot % 32)) - 1));
}

}  // namespace jet::write
