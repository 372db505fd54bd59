// Jet 3 "General" text keys (docs/index-keys.md §j3): one inline byte per
// stored byte, then the accent section: for each accented letter, a skip code
// (2) per plain letter since the previous accent and the accent's code, as
// nibbles; a single 0 when no letter is accented.
#include "jet/keys/IndexKey.h"

#include <array>

namespace jet::keys {

namespace {

enum class Kind : std::uint8_t { Ignored, Simple, Significant, International };

struct Weight {
    Kind kind;
    std::uint8_t inline1, inline2;  // inline2 == 0: one inline byte
    std::uint8_t accent;            // International: the accent code (a nibble)
};

constexpr std::array<Weight, 256> kWeights = [] {
    std::array<Weight, 256> table{};
    using enum Kind;
#define JET3_KEY(byte, kind, in1, in2, accent) table[byte] = Weight{kind, in1, in2, accent};
#include "jet/keys/data/Jet3General.inc"
#undef JET3_KEY
    return table;
}();

// Nibbles packed two to a byte, high half first.
class NibbleStream {
public:
    bool started() const { return started_; }
    void push(std::uint8_t nibble)
    {
        started_ = true;
        if (half_)
            bytes_.back() |= nibble & 0x0F;
        else
            bytes_.push_back(static_cast<std::uint8_t>(nibble << 4));
        half_ = !half_;
    }
    const Key &bytes() const { return bytes_; }

private:
    Key bytes_;
    bool started_ = false;
    bool half_ = false;
};

std::size_t indexedLength(ByteSpan text)
{
    std::size_t length = text.size();
    while (length > 0 && text[length - 1] == ' ')
        --length;
    return length < 255 ? length : 255;
}

}  // namespace

void appendJet3GeneralText(Key &key, ByteSpan text, bool ascending)
{
    const std::size_t start = key.size();
    NibbleStream accents;
    unsigned letters = 0;  // plain letters since the last accent
    for (std::size_t i = 0, n = indexedLength(text); i < n; ++i) {
        const Weight &weight = kWeights[text[i]];
        if (weight.kind == Kind::Ignored)
            continue;
        key.push_back(weight.inline1);
        if (weight.inline2)
            key.push_back(weight.inline2);
        if (weight.kind == Kind::Significant) {
            letters += weight.inline2 ? 2 : 1;
        } else if (weight.kind == Kind::International) {
            if (!accents.started())
                accents.push(0);
            for (; letters > 0; --letters)
                accents.push(2);
            accents.push(weight.accent);
        }
    }
    if (accents.started()) {
        accents.push(0);
        key.insert(key.end(), accents.bytes().begin(), accents.bytes().end());
    } else {
        key.push_back(0x00);
    }
    if (!ascending)
        for (std::size_t i = start; i < key.size(); ++i)
            key[i] = static_cast<std::uint8_t>(~key[i]);
}

}  // namespace jet::keys
