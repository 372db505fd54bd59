// Index page layout, docs/jet-format-writer.md §index.page.layout.
#include "jet/write/IndexPageEncoder.h"

#include "jet/Format.h"

#include <algorithm>
#include <cassert>

namespace jet::write {

namespace {

constexpr std::size_t kFreeSpaceOffset = 0x02;
constexpr std::size_t kOwnerOffset = 0x04;

constexpr IndexPageLayout kJet3Layout{
    .pageSize = 2048, .prevOffset = 0x08, .nextOffset = 0x0C, .tailOffset = 0x10,
    .prefixOffset = 0x14, .prefixWidth = 1, .levelOffset = 0x15,
    .maskOffset = 0x16, .maskBytes = 226, .entriesStart = 0xF8,
    .maxStoredBytes = 1800, .maxPrefix = 0xFF};

constexpr IndexPageLayout kJet4Layout{
    .pageSize = 4096, .prevOffset = 0x0C, .nextOffset = 0x10, .tailOffset = 0x14,
    .prefixOffset = 0x18, .prefixWidth = 2, .levelOffset = 0x1A,
    .maskOffset = 0x1B, .maskBytes = 453, .entriesStart = 0x1E0,
    .maxStoredBytes = 3616, .maxPrefix = 0xFFFF};

static_assert(kJet3Layout.maxStoredBytes == std::min(kJet3Layout.pageSize - kJet3Layout.entriesStart, 8 * kJet3Layout.maskBytes));
static_assert(kJet4Layout.maxStoredBytes == std::min(kJet4Layout.pageSize - kJet4Layout.entriesStart, 8 * kJet4Layout.maskBytes));
static_assert(kJet3Layout.maskOffset + kJet3Layout.maskBytes == kJet3Layout.entriesStart);
static_assert(kJet4Layout.maskOffset + kJet4Layout.maskBytes == kJet4Layout.entriesStart);

void setMaskBit(std::uint8_t *mask, std::size_t bit) { mask[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8)); }

}  // namespace

const IndexPageLayout &indexPageLayout(PageFormat format)
{
    return format == PageFormat::Jet3 ? kJet3Layout : kJet4Layout;
}

void encodeIndexPage(const IndexPageLayout &layout, const IndexPageContent &content, MutableByteSpan page)
{
    assert(page.size() == layout.pageSize);
    assert(content.prefix <= layout.maxPrefix && content.stored.size() <= layout.maxStoredBytes);
    assert(content.ends.empty() || content.ends.back() == content.stored.size());

    std::fill(page.begin(), page.end(), 0);
    std::uint8_t *p = page.data();
    p[0] = static_cast<std::uint8_t>(content.leaf ? PageType::IndexLeaf : PageType::IndexNode);
    p[1] = 0x01;
    storeLE16(p + kFreeSpaceOffset, static_cast<std::uint16_t>(layout.pageSize - layout.entriesStart - content.stored.size()));
    storeLE32(p + kOwnerOffset, content.owner);
    storeLE32(p + layout.prevOffset, content.prev);
    storeLE32(p + layout.nextOffset, content.next);
    storeLE32(p + layout.tailOffset, content.tail);
    if (layout.prefixWidth == 1)
        p[layout.prefixOffset] = static_cast<std::uint8_t>(content.prefix);
    else
        storeLE16(p + layout.prefixOffset, static_cast<std::uint16_t>(content.prefix));
    p[layout.levelOffset] = content.level;

    // Bit k set: an entry ends k bytes into the entry area (§index.page.layout).
    std::uint8_t *mask = p + layout.maskOffset;
    for (const std::uint32_t end : content.ends)
        setMaskBit(mask, end);
    std::copy(content.stored.begin(), content.stored.end(), p + layout.entriesStart);
}

}  // namespace jet::write
