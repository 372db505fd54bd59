// Index page layout, docs/jet-format-writer.md §index.page.layout.
#include "jet/write/IndexPageEncoder.h"

#include "jet/Format.h"

#include <algorithm>
#include <cassert>

namespace jet::write {

namespace {

constexpr std::size_t kFreeSpaceOffset = 0x02;
constexpr std::size_t kOwnerOffset = 0x04;

void setMaskBit(std::uint8_t *mask, std::size_t bit) { mask[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8)); }

}  // namespace

void encodeIndexPage(const FormatConstants &format, const IndexPageContent &content, MutableByteSpan page)
{
    assert(page.size() == format.pageSize);
    assert(content.prefix <= format.indexMaxPrefix && content.stored.size() <= format.indexMaxStoredBytes);
    assert(content.ends.empty() || content.ends.back() == content.stored.size());

    std::fill(page.begin(), page.end(), 0);
    std::uint8_t *p = page.data();
    p[0] = static_cast<std::uint8_t>(content.leaf ? PageType::IndexLeaf : PageType::IndexNode);
    p[1] = 0x01;
    storeLE16(p + kFreeSpaceOffset, static_cast<std::uint16_t>(format.pageSize - format.indexEntriesOffset - content.stored.size()));
    storeLE32(p + kOwnerOffset, content.owner);
    storeLE32(p + format.indexPrevOffset, content.prev);
    storeLE32(p + format.indexNextOffset, content.next);
    storeLE32(p + format.indexTailOffset, content.tail);
    if (format.indexPrefixLength == 1)
        p[format.indexPrefixOffset] = static_cast<std::uint8_t>(content.prefix);
    else
        storeLE16(p + format.indexPrefixOffset, static_cast<std::uint16_t>(content.prefix));
    p[format.indexLevelOffset] = content.level;

    // Bit k set: an entry ends k bytes into the entry area (§index.page.layout).
    std::uint8_t *mask = p + format.indexMaskOffset;
    for (const std::uint32_t end : content.ends)
        setMaskBit(mask, end);
    std::copy(content.stored.begin(), content.stored.end(), p + format.indexEntriesOffset);
}

}  // namespace jet::write
