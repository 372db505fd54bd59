#include "jet/write/IndexRebuilder.h"

#include "jet/Error.h"
#include "jet/IndexPage.h"
#include "jet/write/IdKeyRewriter.h"
#include "jet/write/OrderedIndexFeed.h"
#include "jet/write/SpillSorter.h"

#include <vector>

namespace jet::write {

namespace {

// Thrown out of an index walk when the source index turns out not to be in
// key order; the index is then rebuilt by sorting all its entries.
struct SourceIndexOutOfOrder {};

// Thrown out of the replay of the copy's own walk when the index's entries
// turn out not to be that walk, or not in key order; the index is then
// rebuilt the general way.
struct NotTheCopysWalk {};

// Index entries are looked up in the relocation in groups: the slots of a
// whole group are prefetched before the first is read, so the cache misses
// of a lookup in key order (all over the table) overlap.
constexpr std::size_t kLookupGroup = 32;

class IndexRebuilder {
public:
    IndexRebuilder(const IndexRebuildContext &context, const RealIndexDef &index)
        : c_(context),
          index_(index),
          what_(context.tableWhere + " の索引 " + std::to_string(index.number)),
          idKeys_(context.def, index, context.idColumns, context.ids, what_)
    {
    }

    IndexTreeResult run()
    {
        // Rewritten ids change the keys' order: sorting them is the plan, not a repair.
        if (idKeys_.rewritesAnything())
            return rebuildBySorting(false);
        const PageAllocator::Mark start = c_.allocator.mark();
        if (c_.keyOrder && c_.keyOrder->usable() && c_.keyOrder->indexNumber() == index_.number) {
            try {
                return rebuildInCopyOrder(*c_.keyOrder);
            } catch (const NotTheCopysWalk &) {
                c_.allocator.rewind(start);  // the general way below writes the tree again
            }
        }
        try {
            return rebuildInKeyOrder();
        } catch (const SourceIndexOutOfOrder &) {
            // Nothing else took pages meanwhile: the sorted tree reuses them.
            c_.relocation.clearClaims();
            c_.allocator.rewind(start);
            return rebuildBySorting(true);
        }
    }

private:
    IndexTreeResult rebuildInKeyOrder()
    {
        IndexTreeWriter tree(format(), c_.ownerPage, pageSink());
        OrderedIndexFeed feed(tree, c_.spillFolder, c_.sortBudget);
        relocateEntries([&](ByteSpan key, std::uint32_t newRef) {
            if (!feed.add(key, newRef))
                throw SourceIndexOutOfOrder{};
        });
        checkEntryCount(feed.count());
        feed.finish();
        return tree.finish();
    }

    // The rows were copied walking this very index: entry by entry, the
    // new places are the copy's own order, checked against the walk at the end.
    IndexTreeResult rebuildInCopyOrder(const KeyOrderCopy &order)
    {
        IndexTreeWriter tree(format(), c_.ownerPage, pageSink());
        OrderedIndexFeed feed(tree, c_.spillFolder, c_.sortBudget);
        KeyOrderCopy::Replay replay(order);
        walkIndex(c_.file, index_, what_, [&](const IndexEntry &entry) {
            const std::size_t slot = c_.relocation.slotOf(entry.row.page, entry.row.row);
            std::uint32_t newRef = 0;
            if (slot == RowRelocation::kNoSlot || !replay.next(slot, newRef))
                throw NotTheCopysWalk{};
            if (!feed.add(entry.key, newRef))
                throw NotTheCopysWalk{};  // out of key order: the general way sorts it
        });
        if (!replay.matched())
            throw NotTheCopysWalk{};
        checkEntryCount(feed.count());
        feed.finish();
        return tree.finish();
    }

    IndexTreeResult rebuildBySorting(bool sourceOutOfOrder)
    {
        SpillSorter sorter(c_.spillFolder, c_.sortBudget);
        std::vector<std::uint8_t> rewritten;
        relocateEntries([&](ByteSpan key, std::uint32_t newRef) {
            if (idKeys_.rewritesAnything()) {
                idKeys_.rewrite(key, rewritten);
                key = rewritten;
            }
            sorter.add(key, newRef);
        });
        checkEntryCount(sorter.count());
        IndexTreeWriter tree(format(), c_.ownerPage, pageSink());
        sorter.drain([&](ByteSpan key, std::uint32_t ref) { tree.add(key, RowLocation::fromRowRef(ref)); });
        IndexTreeResult result = tree.finish();
        result.rebuiltBySorting = sourceOutOfOrder;
        return result;
    }

    const FormatConstants &format() const { return formatConstants(c_.def.version); }

    PageSink pageSink() const
    {
        return PageSink{[this] { return c_.allocator.allocate(); },
                        [this](PageNumber page, ByteSpan bytes) { c_.pages.write(page, bytes); }};
    }

    // Walks the source index and hands each entry on with the new position
    // of its row, in the order of the walk. Every entry must name a copied
    // row, and no row twice. Leaves no row claimed.
    template <typename Consume>
    void relocateEntries(Consume consume)
    {
        if (RelocationPartitions *partitions = c_.relocation.partitions()) {
            relocateThroughPartitions(*partitions, consume);
            return;
        }
        group_.clear();
        groupKeys_.clear();
        walkIndex(c_.file, index_, what_, [&](const IndexEntry &entry) {
            const std::size_t slot = c_.relocation.slotOf(entry.row.page, entry.row.row);
            c_.relocation.prefetch(slot);
            const std::size_t keyStart = groupKeys_.size();
            groupKeys_.insert(groupKeys_.end(), entry.key.begin(), entry.key.end());
            group_.push_back({slot, entry.row, keyStart, groupKeys_.size()});
            if (group_.size() == kLookupGroup)
                drainGroup(consume);
        });
        drainGroup(consume);
        c_.relocation.clearClaims();
    }

    template <typename Consume>
    void drainGroup(Consume &consume)
    {
        for (const GroupEntry &entry : group_) {
            std::uint32_t newRef = 0;
            switch (c_.relocation.claim(entry.slot, newRef)) {
            case RowRelocation::Claim::Claimed:
                break;
            case RowRelocation::Claim::NoRow:
                throw entryForNoRow(entry.row);
            case RowRelocation::Claim::ClaimedBefore:
                throw secondEntryFor(entry.row);
            }
            consume(ByteSpan(groupKeys_.data() + entry.keyStart, entry.keyEnd - entry.keyStart), newRef);
        }
        group_.clear();
        groupKeys_.clear();
    }

    // The same walk with the rows' new places in partitions: the first walk
    // notes every entry's slot, the pass resolves them partition by
    // partition, and the second walk takes them back in the same order.
    template <typename Consume>
    void relocateThroughPartitions(RelocationPartitions &partitions, Consume &consume)
    {
        RelocationPass pass(partitions, c_.spillFolder);
        walkIndex(c_.file, index_, what_, [&](const IndexEntry &entry) {
            const std::size_t slot = c_.relocation.slotOf(entry.row.page, entry.row.row);
            if (slot == RowRelocation::kNoSlot)
                throw entryForNoRow(entry.row);
            pass.note(slot);
        });
        if (const auto fault = pass.resolve()) {
            const RowId row = c_.relocation.positionOf(fault->slot);
            throw fault->claimedBefore ? secondEntryFor(row) : entryForNoRow(row);
        }
        walkIndex(c_.file, index_, what_, [&](const IndexEntry &entry) {
            std::uint32_t newRef = 0;
            if (!pass.take(c_.relocation.slotOf(entry.row.page, entry.row.row), newRef))
                throw indexChangedBetweenWalks();
            consume(ByteSpan(entry.key), newRef);
        });
        if (!pass.tookAll())
            throw indexChangedBetweenWalks();
    }

    Error entryForNoRow(RowId row) const
    {
        return Error(ErrorKind::Damaged, what_ + " のエントリが存在しない行 " + row.describe() + " を指しています。");
    }
    Error secondEntryFor(RowId row) const
    {
        return Error(ErrorKind::Damaged, what_ + " に行 " + row.describe() + " のエントリが二つあります。");
    }
    // The source changed while it was read (it is not ours to lock).
    Error indexChangedBetweenWalks() const
    {
        return Error(ErrorKind::Io, what_ + " を二度読んだ内容が一致しません。");
    }

    void checkEntryCount(std::uint64_t entries) const
    {
        if (entries > c_.rowsCopied || (!index_.ignoreNulls() && entries != c_.rowsCopied))
            throw Error(ErrorKind::Damaged, what_ + " のエントリ数 " + std::to_string(entries) + " が行数 " +
                                                std::to_string(c_.rowsCopied) + " と合いません。");
    }

    struct GroupEntry {
        std::size_t slot;
        RowId row;
        std::size_t keyStart, keyEnd;
    };

    const IndexRebuildContext &c_;
    const RealIndexDef &index_;
    const std::string what_;
    const IdKeyRewriter idKeys_;
    std::vector<GroupEntry> group_;
    std::vector<std::uint8_t> groupKeys_;
};

}  // namespace

IndexTreeResult rebuildIndex(const IndexRebuildContext &context, const RealIndexDef &index)
{
    return IndexRebuilder(context, index).run();
}

}  // namespace jet::write
