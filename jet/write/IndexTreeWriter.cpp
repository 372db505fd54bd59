// Streaming bulk build of an index B-tree, docs/jet-format-writer.md §index.build.
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
#include <bit>
#include <cstring>
#include <deque>
#include <optional>
#include <string>

namespace jet::write {

namespace {

constexpr std::size_t kRowPointerBytes = 4;   // u24 BE page + u8 row
constexpr std::size_t kChildPointerBytes = 4; // u32 BE child page
constexpr PageNumber kMaxRowPage = 0xFFFFFF;

using Bytes = std::vector<std::uint8_t>;

// A page being filled, or finished but not yet written. Entries are kept
// much as they will be stored, so a leaf of long keys sharing a long prefix
// takes about a page of memory, not the sum of its whole entries: entry 0
// is kept whole, every later one without the bytes it shared with entry 0
// when it was added (its cut). The page's prefix can only shrink as entries
// arrive, so each cut is at least the final prefix and the left-out bytes
// can be taken back from entry 0.
struct PageDraft {
    PageNumber number = 0;
    PageNumber prev = 0;
    PageNumber next = 0;
    PageNumber tail = 0;
    Bytes data;
    std::vector<std::uint32_t> ends;    // end of each entry in `data`
    std::vector<std::uint32_t> cuts;    // leading bytes of each entry not in `data`
    std::size_t wholeBytes = 0;         // sum of whole entry lengths
    std::size_t prefix = 0;             // leaves: key bytes every entry shares with entry 0
    Bytes subtreeLast;                  // greatest leaf entry below a closed node page

    std::size_t count() const { return ends.size(); }
    std::size_t effectivePrefix() const { return count() >= 2 ? prefix : 0; }
    std::size_t storedBytes() const { return wholeBytes - (count() > 1 ? (count() - 1) * prefix : 0); }
    ByteSpan first() const { return ByteSpan(data).first(ends.empty() ? 0 : ends[0]); }

    void append(ByteSpan entry, std::size_t cut)
    {
        data.insert(data.end(), entry.begin() + static_cast<std::ptrdiff_t>(cut), entry.end());
        ends.push_back(static_cast<std::uint32_t>(data.size()));
        cuts.push_back(static_cast<std::uint32_t>(cut));
        wholeBytes += entry.size();
    }
    void removeLast()
    {
        wholeBytes -= ends.back() - (ends.size() > 1 ? ends[ends.size() - 2] : 0) + cuts.back();
        ends.pop_back();
        cuts.pop_back();
        data.resize(ends.empty() ? 0 : ends.back());
    }
    Bytes wholeEntry(std::size_t i) const
    {
        const std::size_t start = i == 0 ? 0 : ends[i - 1];
        Bytes entry(data.begin(), data.begin() + cuts[i]);
        entry.insert(entry.end(), data.begin() + static_cast<std::ptrdiff_t>(start), data.begin() + ends[i]);
        return entry;
    }
    Bytes lastEntry() const { return wholeEntry(count() - 1); }
    // The entry area as the page stores it: entry 0 whole, the others
    // without the first effectivePrefix() bytes.
    void storedForm(Bytes &out, std::vector<std::uint32_t> &outEnds) const
    {
        const std::size_t p = effectivePrefix();
        out.resize(storedBytes());
        outEnds.resize(count());
        std::uint8_t *to = out.data();
        for (std::size_t i = 0; i < count(); ++i) {
            const std::size_t start = i == 0 ? 0 : ends[i - 1];
            if (i > 0) {
                std::memcpy(to, data.data() + p, cuts[i] - p);
                to += cuts[i] - p;
            }
            std::memcpy(to, data.data() + start, ends[i] - start);
            to += ends[i] - start;
            outEnds[i] = static_cast<std::uint32_t>(to - out.data());
        }
    }
    // Starts another page in the same buffers (no reallocation per leaf).
    void reset(PageNumber newNumber, PageNumber newPrev)
    {
        number = newNumber;
        prev = newPrev;
        next = tail = 0;
        data.clear();
        ends.clear();
        cuts.clear();
        wholeBytes = prefix = 0;
        subtreeLast.clear();
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

// Length of the common start of a and b, eight bytes at a time.
std::size_t sharedLength(ByteSpan a, ByteSpan b)
{
    const std::size_t limit = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i + 8 <= limit; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) {
            const std::uint64_t differing = x ^ y;  // the first differing byte in memory order:
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(differing)
                                                                       : std::countl_zero(differing);
            return i + static_cast<std::size_t>(bit / 8);
        }
    }
    while (i < limit && a[i] == b[i])
        ++i;
    return i;
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
    const std::size_t common = std::min(keyA.size(), keyB.size());
    const int bytes = common == 0 ? 0 : std::memcmp(keyA.data(), keyB.data(), common);
    if (bytes != 0)
        return bytes < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
    if (keyA.size() != keyB.size())
        return keyA.size() <=> keyB.size();
    return rowA <=> rowB;
}

std::size_t maxIndexKeyBytes(const FormatConstants &format)
{
    return format.indexMaxStoredBytes - kRowPointerBytes - kChildPointerBytes;
}

struct IndexTreeWriter::State {
    const FormatConstants &format;
    PageNumber owner;
    PageSink sink;
    std::deque<Level> levels{1};  // growing keeps references to existing levels valid
    IndexTreeResult result;
    Bytes previousKey;
    RowLocation previousRow;
    bool finished = false;
    Bytes pageBuffer;
    Bytes entryBuffer;
    Bytes storedBuffer;
    std::vector<std::uint32_t> storedEnds;

    State(const FormatConstants &f, PageNumber o, PageSink s)
        : format(f), owner(o), sink(std::move(s)), pageBuffer(format.pageSize)
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
        draft.storedForm(storedBuffer, storedEnds);
        content.stored = storedBuffer;
        content.ends = storedEnds;
        encodeIndexPage(format, content, pageBuffer);
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

    // `sharedWithPrevious`: key bytes the entry shares with the previous
    // entry. Keys arrive sorted, so what it shares with the page's first
    // entry is the smaller of that and what the previous entry shared with
    // the first, which the page's prefix already is.
    static bool leafFits(const PageDraft &leaf, ByteSpan entry, std::size_t sharedWithPrevious, std::size_t maxStored,
                         std::size_t &newPrefix)
    {
        newPrefix = std::min(leaf.prefix, sharedWithPrevious);
        return leaf.wholeBytes + entry.size() - leaf.count() * newPrefix <= maxStored;
    }

    void addLeafEntry(ByteSpan entry, std::size_t sharedWithPrevious)
    {
        Level &leaves = levels[0];
        if (!leaves.open) {
            leaves.open = startPage(0);
        } else {
            std::size_t prefix = 0;
            if (leafFits(*leaves.open, entry, sharedWithPrevious, format.indexMaxStoredBytes, prefix)) {
                leaves.open->prefix = prefix;
                leaves.open->append(entry, prefix);
                return;
            }
            closeLeaf();
        }
        leaves.open->prefix = std::min(entry.size() - kRowPointerBytes, format.indexMaxPrefix);
        leaves.open->append(entry, 0);
    }

    // Writes the open leaf and starts the next one in the same buffers.
    void closeLeaf()
    {
        PageDraft &leaf = *levels[0].open;
        const PageNumber next = allocate();
        leaf.next = next;
        write(leaf, 0);
        ++levels[0].closedPages;
        Child child{leaf.lastEntry(), leaf.number};
        leaf.reset(next, leaf.number);
        addChild(1, std::move(child));
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
            if (level.open->storedBytes() + entry.size() > format.indexMaxStoredBytes)
                closeNode(index);
            else
                level.open->append(entry, 0);
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
        const Bytes lastEntry = held.lastEntry();
        Child moved{held.subtreeLast, held.tail};
        held.tail = loadBE32(lastEntry.data() + lastEntry.size() - kChildPointerBytes);
        held.subtreeLast.assign(lastEntry.begin(), lastEntry.end() - kChildPointerBytes);
        held.removeLast();
        level.open->append(nodeEntry(moved), 0);
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
            // A node with one child lists it as an entry and has no tail (§index.build).
            last.append(nodeEntry(*level.pending), 0);
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
            addChild(1, Child{leaves.open->lastEntry(), leaves.open->number});
        }
        for (std::size_t index = 1; index < levels.size(); ++index)
            finishNodeLevel(index);
        result.levels = static_cast<unsigned>(levels.size());
    }
};

IndexTreeWriter::IndexTreeWriter(const FormatConstants &format, PageNumber ownerTdefPage, PageSink sink)
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
    // One pass over the key settles the order, whether it repeats the
    // previous key, and how much of it a leaf can share as prefix.
    const std::size_t shared = first ? 0 : sharedLength(s.previousKey, key);
    const bool duplicate = !first && shared == key.size() && shared == s.previousKey.size();
    if (!first) {
        const bool keyGreater = shared < key.size() && (shared == s.previousKey.size() || key[shared] > s.previousKey[shared]);
        if (!keyGreater && !(duplicate && s.previousRow < row))
            refuse("エントリがインデックスの順序に並んでいません。");
    }
    Bytes &entry = s.entryBuffer;
    entry.assign(key.begin(), key.end());
    entry.resize(key.size() + kRowPointerBytes);
    storeBE24(entry.data() + key.size(), row.page);
    entry.back() = row.row;
    s.addLeafEntry(entry, shared);

    ++s.result.entries;
    if (!duplicate) {
        ++s.result.distinctKeys;
        s.previousKey.assign(key.begin(), key.end());
    }
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
