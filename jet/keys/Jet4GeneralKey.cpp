// Jet 4 "General" text keys, sort version 0 (docs/index-keys.md §j4): the
// inline weights of the characters, 0x01, the accent section (extra bytes,
// with 0x02 standing for each plain character before them), then, when the
// text holds unprintable characters, their codes with their positions, and
// 0x00.
#include "jet/keys/IndexKey.h"

#include <algorithm>
#include <array>
#include <optional>

namespace jet::keys {

namespace {

enum class Kind : std::uint8_t { Ignored, Simple, International, Unprintable };

struct Weight {
    Kind kind = Kind::Ignored;
    std::uint8_t inline1 = 0, inline2 = 0;  // Simple, International; inline2 == 0: one byte
    std::uint8_t extra = 0;                 // International: accent byte; Unprintable: its code
    std::uint8_t positions = 1;             // characters it counts as
};

struct Entry {
    char16_t unit;
    Weight weight;
};

constexpr auto kEntries = [] {
    using enum Kind;
    std::array<Entry, 256 + 27> entries{};
    std::size_t i = 0;
#define JET4_KEY(unit, kind, in1, in2, extra, positions) entries[i++] = Entry{unit, Weight{kind, in1, in2, extra, positions}};
#include "jet/keys/data/Jet4General.inc"
#undef JET4_KEY
    return entries;
}();

static_assert([] {
    for (std::size_t i = 0; i < kEntries.size(); ++i)
        if ((i < 256 && kEntries[i].unit != i) || (i > 0 && kEntries[i].unit <= kEntries[i - 1].unit))
            return false;
    return true;
}(), "the table lists U+0000..U+00FF in order, then the rest ascending");

const Weight *weightOf(char16_t unit)
{
    if (unit < 256)
        return &kEntries[unit].weight;
    const auto rest = std::span(kEntries).subspan(256);
    const auto found =
        std::lower_bound(rest.begin(), rest.end(), unit, [](const Entry &e, char16_t u) { return e.unit < u; });
    return found != rest.end() && found->unit == unit ? &found->weight : nullptr;
}

std::size_t indexedLength(std::u16string_view text)
{
    std::size_t length = text.size();
    while (length > 0 && text[length - 1] == u' ')
        --length;
    return std::min<std::size_t>(length, 255);
}

}  // namespace

bool appendJet4GeneralText(Key &key, std::u16string_view text, bool ascending, Jet4Writer writer)
{
    const std::size_t start = key.size();
    Key accents, unprintable;
    unsigned position = 0;        // characters so far that gave inline bytes
    unsigned accentChars = 0;     // positions the accent section covers
    for (std::size_t i = 0, n = indexedLength(text); i < n; ++i) {
        const Weight *weight = weightOf(text[i]);
        if (!weight)
            return false;
        const unsigned here = position;
        switch (weight->kind) {
        case Kind::Ignored:
            break;
        case Kind::Simple:
        case Kind::International:
            key.push_back(weight->inline1);
            if (weight->inline2)
                key.push_back(weight->inline2);
            position += writer == Jet4Writer::Jet40 ? weight->positions : 1;
            if (weight->kind == Kind::International) {
                accents.insert(accents.end(), here - accentChars, 0x02);
                accents.push_back(weight->extra);
                accentChars = here + 1;
            }
            break;
        case Kind::Unprintable: {
            // The position counts the accent section's bytes once it exists.
            const unsigned at = accents.empty() ? here : static_cast<unsigned>(accents.size()) + (here - accentChars);
            const unsigned code = (7 + 4 * at) | 0x8000;
            unprintable.push_back(static_cast<std::uint8_t>(code >> 8));
            unprintable.push_back(static_cast<std::uint8_t>(code));
            unprintable.push_back(0x06);
            unprintable.push_back(weight->extra);
            break;
        }
        }
    }
    key.push_back(0x01);
    while (!accents.empty() && accents.back() <= 0x02)
        accents.pop_back();
    key.insert(key.end(), accents.begin(), accents.end());
    if (!unprintable.empty()) {
        key.insert(key.end(), {0x01, 0x01, 0x01});
        key.insert(key.end(), unprintable.begin(), unprintable.end());
    }
    key.push_back(0x00);
    if (!ascending) {
        for (std::size_t i = start; i < key.size(); ++i)
            key[i] = static_cast<std::uint8_t>(~key[i]);
        key.push_back(0x00);
    }
    return true;
}

}  // namespace jet::keys
