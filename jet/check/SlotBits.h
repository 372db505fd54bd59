// One bit per row slot of a table. The check keeps a few of these for a
// table of up to some hundred million slots: packed 64 to a word, they cost an
// eighth of what a byte per slot would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jet {

class SlotBits {
public:
    std::size_t size() const { return size_; }

    // `count` bits, all clear; keeps the memory when it shrinks.
    void reset(std::size_t count)
    {
        words_.assign((count + 63) / 64, 0);
        size_ = count;
    }
    // Drops the bits, keeping the memory.
    void clear()
    {
        words_.clear();
        size_ = 0;
    }
    // Grows to `count` bits; the new ones are clear.
    void grow(std::size_t count)
    {
        if (count <= size_)
            return;
        words_.resize((count + 63) / 64, 0);
        size_ = count;
    }

    bool test(std::size_t bit) const { return (words_[bit / 64] >> (bit % 64)) & 1u; }
    void set(std::size_t bit) { words_[bit / 64] |= std::uint64_t{1} << (bit % 64); }
    // Sets the bit and says whether it was set already.
    bool testAndSet(std::size_t bit)
    {
        std::uint64_t &word = words_[bit / 64];
        const std::uint64_t mask = std::uint64_t{1} << (bit % 64);
        const bool was = word & mask;
        word |= mask;
        return was;
    }

private:
    std::vector<std::uint64_t> words_;
    std::size_t size_ = 0;
};

}  // namespace jet
