#include "jet/check/KeyMismatchSearch.h"

#include <algorithm>
#include <span>

namespace jet {

namespace {

class Search {
public:
    Search(const PageFile &file, const std::string &table, const std::string &where, const KeyCheck &keys,
           const RealIndexDef &index, const CheckedRows &rows)
        : file_(file), table_(table), where_(where), keys_(keys), index_(index), rows_(rows)
    {
    }

    KeyMismatches run()
    {
        const std::vector<SlotRange> ranges = rangesToSearch();
        const std::size_t perPass = keys_.slotsPerPass();
        for (std::size_t begin = 0; begin < ranges.size();) {
            std::size_t end = begin + 1, slots = length(ranges[begin]);
            for (; end < ranges.size() && slots + length(ranges[end]) <= perPass; ++end)
                slots += length(ranges[end]);
            search(std::span(ranges).subspan(begin, end - begin), slots);
            begin = end;
        }
        if (found_.count)
            keys_.forEachComputedKey(file_, table_, rows_.slots, index_.number, {firstSlot_, firstSlot_ + 1},
                                     [&](std::uint32_t, const keys::Key &key) { found_.computed = key; });
        return std::move(found_);
    }

private:
    static std::size_t length(SlotRange range) { return range.to - range.from; }

    // The slot of an entry the sums count, or kNone.
    std::uint32_t countedSlot(const IndexEntry &entry) const
    {
        const std::uint32_t slot = rows_.slots.find(entry.row);
        if (slot == LiveRowSlots::kNone ||
            (keys_.ignoresNullRows(index_.number) && rows_.hasNullKey(index_.number, slot)))
            return LiveRowSlots::kNone;
        return slot;
    }
    std::uint64_t storedDigest(const IndexEntry &entry, std::uint32_t slot) const
    {
        return keys_.counted(index_.number, slot, KeyCheck::digest(slot, entry.key));
    }

    std::vector<SlotRange> rangesToSearch() const;
    void search(std::span<const SlotRange> batch, std::size_t slots);

    const PageFile &file_;
    const std::string &table_;
    const std::string &where_;
    const KeyCheck &keys_;
    const RealIndexDef &index_;
    const CheckedRows &rows_;
    KeyMismatches found_;
    std::uint64_t firstOrdinal_ = 0;  // of found_.first among the walk's entries
    std::uint32_t firstSlot_ = 0;
};

// A table whose digests fit at once is searched whole. A larger one is first
// summed per bucket of slots, as the whole table was: only buckets whose sums
// differ hold entries that differ, so damage in a few rows costs one more
// reading, not one per pass's worth of slots. The buckets are small (half a
// pass holds as many sums as there are buckets) so that the ones that differ
// fit a pass together.
std::vector<SlotRange> Search::rangesToSearch() const
{
    const auto slotCount = static_cast<std::uint32_t>(rows_.slots.slotCount());
    const std::uint32_t perPass = keys_.slotsPerPass();
    if (slotCount <= perPass)
        return {{0, slotCount}};
    const std::uint32_t buckets = perPass / 2;
    const std::uint32_t bucket = slotCount / buckets + 1;  // slots per bucket
    std::vector<std::uint64_t> difference(buckets, 0);
    keys_.forEachComputedKey(
        file_, table_, rows_.slots, index_.number, {0, slotCount},
        [&](std::uint32_t slot, const keys::Key &key) { difference[slot / bucket] += KeyCheck::digest(slot, key); });
    walkIndex(file_, index_, where_, [&](const IndexEntry &entry) {
        const std::uint32_t slot = countedSlot(entry);
        if (slot != LiveRowSlots::kNone)
            difference[slot / bucket] -= storedDigest(entry, slot);
    });
    const auto end = [&](std::uint32_t i) {
        return static_cast<std::uint32_t>(std::min<std::size_t>(slotCount, (i + std::size_t{1}) * bucket));
    };
    std::vector<SlotRange> ranges;
    for (std::uint32_t i = 0; i < buckets; ++i)
        if (difference[i] != 0)
            ranges.push_back({i * bucket, end(i)});
    return ranges;
}

// Ranges ascending; `slots` in all.
void Search::search(std::span<const SlotRange> batch, std::size_t slots)
{
    std::vector<std::uint64_t> expected(slots, 0);
    std::vector<std::size_t> offsets;  // of each range's first slot in `expected`
    for (std::size_t i = 0, at = 0; i < batch.size(); at += length(batch[i++]))
        offsets.push_back(at);
    // A slot's expected digest, or null outside the batch.
    const auto digestOf = [&](std::uint32_t slot) -> std::uint64_t * {
        const auto next = std::upper_bound(batch.begin(), batch.end(), slot,
                                           [](std::uint32_t s, const SlotRange &range) { return s < range.from; });
        if (next == batch.begin() || !std::prev(next)->contains(slot))
            return nullptr;
        const std::size_t i = static_cast<std::size_t>(std::prev(next) - batch.begin());
        return &expected[offsets[i] + (slot - batch[i].from)];
    };
    keys_.forEachComputedKey(file_, table_, rows_.slots, index_.number, {batch.front().from, batch.back().to},
                             [&](std::uint32_t slot, const keys::Key &key) {
                                 if (std::uint64_t *digest = digestOf(slot))
                                     *digest = KeyCheck::digest(slot, key);
                             });
    std::uint64_t ordinal = 0;
    walkIndex(file_, index_, where_, [&](const IndexEntry &entry) {
        const std::uint64_t at = ordinal++;
        const std::uint32_t slot = countedSlot(entry);
        const std::uint64_t *digest = slot == LiveRowSlots::kNone ? nullptr : digestOf(slot);
        if (!digest || storedDigest(entry, slot) == *digest)
            return;
        if (found_.count++ == 0 || at < firstOrdinal_) {
            firstOrdinal_ = at;
            firstSlot_ = slot;
            found_.first = entry;
        }
    });
}

}  // namespace

KeyMismatches findKeyMismatches(const PageFile &file, const std::string &table, const std::string &where,
                                const KeyCheck &keys, const RealIndexDef &index, const CheckedRows &rows)
{
    return Search(file, table, where, keys, index, rows).run();
}

}  // namespace jet
