// Streaming bulk build of an index B-tree, jet-format.md §12.4 and §12.6.
//
// Each level keeps the page it is filling. A leaf is written as soon as the
// next leaf is started (its `next` link is then known). A node page is held
// back one step longer: when the stream ends, the last node page of a level
// may have a single child, and it then takes the last child of the held
// page so that no node is left with one entry and no tail.
#include "jet/write/IndexTreeWriter.h"

#include "jet/Error.h"
#include "jet/write/IndexPageEncoder.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <string>

namespace jet::write {

namespace {

constexpr std::size_t kRowPointerBytes = 4;   // u24 BE page + u8 row
constexpr std::size_t kChildPointerBytes = 4; // u32 BE child page
constexpr PageNumber kMaxRowPage = 0xFFFFFF;

using Bytes = std::vector<std::uint8_t>;

// A page being filled, or finished but not yet written.
struct PageDraft {
    PageNumber number = 0;
    PageNumber prev = 0;
    PageNumber next = 0;
    PageNumber tail = 0;
    Bytes entries;                      // complete entries back to back
    std::vector<std::uint32_t> ends;    // end of each entry in `entries`
    std::size_t prefix = 0;             // leaves: key bytes all entries share with the first
    Bytes subtreeLast;                  // greatest leaf entry below a closed page

    std::size_t count() const { return ends.size(); }
    std::size_t effectivePrefix() const { return count() >= 2 ? prefix : 0; }
    std::size_t storedBytes() const { return entries.size() - (count() > 1 ? (count() - 1) * prefix : 0); }
    ByteSpan entry(std::size_t i) const
    {
        const std::size_t start = i == 0 ? 0 : ends[i - 1];
        return ByteSpan(entries).subspan(start, ends[i] - start);
    }
    ByteSpan lastEntry() const { return entry(count() - 1); }
    void append(ByteSpan entry)
    {
        entries.insert(entries.end(), entry.begin(), entry.end());
        ends.push_back(static_cast<std::uint32_t>(entries.size()));
    }
    void removeLast()
    {
        ends.pop_back();
        entries.resize(ends.empty() ? 0 : ends.back());
    }
};

// A finished child page as its parent sees it.
struct Child {
    Bytes lastLeafEntry;
    PageNumber page = 0;
};

struct Level {
    std::optional<PageDraft> open;
    std::optional<PageDraft> held;     // node levels: previous page, not yet written
    std::optional<Child> pending;      // node levels: newest child, entry or tail still undecided
    std::uint64_t closedPages = 0;
};

std::size_t commonPrefix(ByteSpan a, ByteSpan b)
{
    const std::size_t n = std::min(a.size(), b.size());
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.begin() + n, b.begin()).first - a.begin());
}

Bytes nodeEntry(const Child &child)
{
    Bytes entry = child.lastLeafEntry;
    entry.resize(entry.size() + kChildPointerBytes);
    storeBE32(entry.data() + entry.size() - kChildPointerBytes, child.page);
    return entry;
}

[[noreturn]] void refuse(const std::string &what)
{
    throw Error(ErrorKind::Argument, "インデックスを作成できません: " + what);
}

}  // namespace

std::strong_ordering compareIndexEntries(ByteSpan keyA, RowLocation rowA, ByteSpan keyB, RowLocation rowB)
{
    const auto byKey = std::lexicographical_compare_three_way(keyA.begin(), keyA.end(), keyB.begin(), keyB.end());
    return byKey != 0 ? byKey : rowA <=> rowB;
}

std::size_t maxIndexKeyBytes(PageFormat format)
{
    return indexPageLayout(format).maxStoredBytes - kRowPointerBytes - kChildPointerBytes;
}

struct IndexTreeWriter::State {
    const IndexPageLayout &layout;
    PageFormat format;
    PageNumber owner;
    PageSink sink;
    std::deque<Level> levels{1};  // growing keeps references to existing levels valid
    IndexTreeResult result;
    Bytes previousKey;
    RowLocation previousRow;
    bool finished = false;
    Bytes pageBuffer;

    State(PageFormat f, PageNumber o, PageSink s)
        : layout(indexPageLayout(f)), format(f), owner(o), sink(std::move(s)), pageBuffer(layout.pageSize)
    {
    }

    PageNumber allocate()
    {
        const PageNumber page = sink.allocate();
        result.pages.push_back(page);
        return page;
    }

    void write(const PageDraft &draft, unsigned level)
    {
        IndexPageContent content;
        content.leaf = level == 0;
        content.owner = owner;
        content.prev = draft.prev;
        content.next = draft.next;
        content.tail = draft.tail;
        content.level = static_cast<std::uint8_t>(level);
        content.prefix = draft.effectivePrefix();
        content.entries = draft.entries;
        content.ends = draft.ends;
        encodeIndexPage(layout, content, pageBuffer);
        sink.write(draft.number, pageBuffer);
    }

    PageDraft startPage(PageNumber prev)
    {
        PageDraft draft;
        draft.number = allocate();
        draft.prev = prev;
        return draft;
    }

    // ---- leaves ----

    static bool leafFits(const PageDraft &leaf, ByteSpan entry, std::size_t maxStored, std::size_t &newPrefix)
    {
        const std::size_t keyLength = entry.size() - kRowPointerBytes;
        const ByteSpan firstKey = leaf.entry(0).first(leaf.entry(0).size() - kRowPointerBytes);
        newPrefix = std::min({leaf.prefix, keyLength, commonPrefix(firstKey, entry.first(keyLength))});
        return leaf.entries.size() + entry.size() - leaf.count() * newPrefix <= maxStored;
    }

    void addLeafEntry(ByteSpan entry)
    {
        Level &leaves = levels[0];
        if (!leaves.open) {
            leaves.open = startPage(0);
        } else {
            std::size_t prefix = 0;
            if (leafFits(*leaves.open, entry, layout.maxStoredBytes, prefix)) {
                leaves.open->prefix = prefix;
                leaves.open->append(entry);
                return;
            }
            closeLeaf();
        }
        leaves.open->prefix = std::min(entry.size() - kRowPointerBytes, layout.maxPrefix);
        leaves.open->append(entry);
    }

    void closeLeaf()
    {
        Level &leaves = levels[0];
        PageDraft done = std::move(*leaves.open);
        leaves.open = startPage(done.number);
        done.next = leaves.open->number;
        write(done, 0);
        ++leaves.closedPages;
        addChild(1, Child{Bytes(done.lastEntry().begin(), done.lastEntry().end()), done.number});
    }

    // ---- node levels ----

    void addChild(std::size_t index, Child child)
    {
        if (levels.size() <= index)
            levels.resize(index + 1);
        Level &level = levels[index];
        if (!level.open) {
            level.open = startPage(0);
        } else {
            const Bytes entry = nodeEntry(*level.pending);
            if (level.open->entries.size() + entry.size() > layout.maxStoredBytes)
                closeNode(index);
            else
                levels[index].open->append(entry);
        }
        levels[index].pending = std::move(child);
    }

    // The pending child becomes the tail of the open page, which is then
    // held back; the page held so far is written.
    void closeNode(std::size_t index)
    {
        Level &level = levels[index];
        PageDraft done = std::move(*level.open);
        done.tail = level.pending->page;
        done.subtreeLast = std::move(level.pending->lastLeafEntry);
        level.pending.reset();
        level.open = startPage(done.number);
        done.next = level.open->number;
        if (level.held)
            write(*level.held, static_cast<unsigned>(index));
        level.held = std::move(done);
        ++level.closedPages;
        addChild(index + 1, Child{level.held->subtreeLast, level.held->number});
    }

    // Moves the held page's last child into the open page of this level,
    // which has only its pending child so far. The held page is the pending
    // child of the level above, whose key therefore changes too.
    void rebalance(std::size_t index)
    {
        Level &level = levels[index];
        PageDraft &held = *level.held;
        const ByteSpan lastEntry = held.lastEntry();
        Child moved{held.subtreeLast, held.tail};
        held.tail = loadBE32(lastEntry.data() + lastEntry.size() - kChildPointerBytes);
        held.subtreeLast.assign(lastEntry.begin(), lastEntry.end() - kChildPointerBytes);
        held.removeLast();
        level.open->append(nodeEntry(moved));
        levels[index + 1].pending->lastLeafEntry = held.subtreeLast;
    }

    void finishNodeLevel(std::size_t index)
    {
        Level &level = levels[index];
        if (level.open->count() == 0 && level.held && level.held->count() >= 2)
            rebalance(index);
        if (level.held)
            write(*level.held, static_cast<unsigned>(index));
        PageDraft &last = *level.open;
        if (last.count() == 0) {
            // A node with one child lists it as an entry and has no tail (§12.4).
            last.append(nodeEntry(*level.pending));
        } else {
            last.tail = level.pending->page;
        }
        write(last, static_cast<unsigned>(index));
        if (level.closedPages > 0)
            addChild(index + 1, Child{std::move(level.pending->lastLeafEntry), last.number});
        else
            result.root = last.number;
    }

    void finishTree()
    {
        Level &leaves = levels[0];
        if (!leaves.open)
            leaves.open = startPage(0);
        write(*leaves.open, 0);
        if (leaves.closedPages == 0) {
            result.root = leaves.open->number;
        } else {
            const ByteSpan last = leaves.open->lastEntry();
            addChild(1, Child{Bytes(last.begin(), last.end()), leaves.open->number});
        }
        for (std::size_t index = 1; index < levels.size(); ++index)
            finishNodeLevel(index);
        result.levels = static_cast<unsigned>(levels.size());
    }
};

IndexTreeWriter::IndexTreeWriter(PageFormat format, PageNumber ownerTdefPage, PageSink sink)
    : state_(std::make_unique<State>(format, ownerTdefPage, std::move(sink)))
{
}

IndexTreeWriter::~IndexTreeWriter() = default;

bool IndexTreeWriter::add(ByteSpan key, RowLocation row)
{
    State &s = *state_;
    if (s.finished)
        refuse("構築が終わった後にエントリが追加されました。");
    if (key.size() > maxIndexKeyBytes(s.format))
        refuse("キーが長すぎます (" + std::to_string(key.size()) + " バイト)。");
    if (row.page > kMaxRowPage)
        refuse("行のページ番号 " + std::to_string(row.page) + " が範囲外です。");
    const bool first = s.result.entries == 0;
    if (!first && compareIndexEntries(s.previousKey, s.previousRow, key, row) != std::strong_ordering::less)
        refuse("エントリがインデックスの順序に並んでいません。");

    const bool duplicate = !first && std::equal(key.begin(), key.end(), s.previousKey.begin(), s.previousKey.end());
    Bytes entry(key.begin(), key.end());
    entry.resize(key.size() + kRowPointerBytes);
    storeBE24(entry.data() + key.size(), row.page);
    entry.back() = row.row;
    s.addLeafEntry(entry);

    ++s.result.entries;
    if (!duplicate)
        ++s.result.distinctKeys;
    s.previousKey.assign(key.begin(), key.end());
    s.previousRow = row;
    return duplicate;
}

IndexTreeResult IndexTreeWriter::finish()
{
    State &s = *state_;
    if (s.finished)
        refuse("構築が二度終了されました。");
    s.finished = true;
    s.finishTree();
    return std::move(s.result);
}

}  // namespace jet::write
