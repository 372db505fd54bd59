#include "jet/IndexPage.h"

#include "jet/Error.h"

#include <algorithm>
#include <unordered_set>

namespace jet {

namespace {

constexpr unsigned kMaxIndexDepth = 32;
constexpr std::size_t kRowPointerLength = 4;
constexpr std::size_t kChildPointerLength = 4;

[[noreturn]] void throwBadIndexPage(const PageFile &file, PageNumber number, const std::string &where,
                                    const std::string &detail)
{
    throw Error(ErrorKind::Damaged, where + ": " + file.describePage(number) + " の索引ページが壊れています（" +
                                        detail + "）。");
}

// Where a page's entries lie, checked, without copying them: walking an index
// must not allocate or copy per entry more than it has to. Entry k is, for
// k > 0, the first `prefix` bytes of the first entry (which is stored whole),
// then its stored bytes.
struct EntryBounds {
    const std::uint8_t *area = nullptr;  // the entry area of the page
    std::size_t prefix = 0;
    std::vector<std::size_t> ends;       // stored entry k is area[ends[k-1], ends[k])

    std::size_t count() const { return ends.size(); }
    std::size_t storedStart(std::size_t k) const { return k == 0 ? 0 : ends[k - 1]; }
    // Entry k in full into `out`.
    void entry(std::size_t k, std::vector<std::uint8_t> &out) const
    {
        const std::size_t start = storedStart(k);
        out.assign(area, area + (k == 0 ? 0 : prefix));  // reuses the capacity, fills nothing twice
        out.insert(out.end(), area + start, area + ends[k]);
    }
};

// §index.entries: each set mask bit marks where an entry ends.
std::size_t readEntries(const PageFile &file, const Page &page, bool leaf, std::size_t prefixLength,
                        EntryBounds &out, const std::string &where)
{
    out.ends.clear();
    const FormatConstants &format = file.format();
    const auto &bytes = page.bytes;
    out.area = bytes.data() + format.indexEntriesOffset;
    out.prefix = prefixLength;
    const std::size_t area = bytes.size() - format.indexEntriesOffset;
    const std::size_t minimum = kRowPointerLength + (leaf ? 0 : kChildPointerLength);
    std::size_t start = 0;
    for (std::size_t i = 0; i < format.indexMaskLength; ++i) {
        std::uint8_t maskByte = bytes[format.indexMaskOffset + i];
        while (maskByte) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(maskByte));
            maskByte = static_cast<std::uint8_t>(maskByte & (maskByte - 1));
            const std::size_t end = i * 8 + bit;
            if (end > area || end <= start)
                throwBadIndexPage(file, page.number, where, "項目の終わり " + std::to_string(end) + " が不正");
            std::size_t prefix = 0;
            if (out.count() > 0 && prefixLength > 0) {
                if (out.ends.front() < prefixLength)
                    throwBadIndexPage(file, page.number, where, "共通接頭部が最初の項目より長い");
                prefix = prefixLength;
            }
            if (prefix + (end - start) < minimum)
                throwBadIndexPage(file, page.number, where, "項目が短すぎる");
            out.ends.push_back(end);
            start = end;
        }
    }
    return start;
}

struct IndexPageHeader {
    bool leaf = true;
    std::size_t prefixLength = 0;
};

IndexPageHeader readHeader(const PageFile &file, const Page &page, IndexPage &out, const std::string &where)
{
    const FormatConstants &format = file.format();
    const auto &bytes = page.bytes;
    out.number = page.number;
    if (bytes[0] == static_cast<std::uint8_t>(PageType::IndexLeaf))
        out.leaf = true;
    else if (bytes[0] == static_cast<std::uint8_t>(PageType::IndexNode))
        out.leaf = false;
    else
        throwBadIndexPage(file, page.number, where, "ページの種類 " + std::to_string(bytes[0]));
    out.freeSpace = loadLE16(bytes.data() + 2);
    out.owner = loadLE32(bytes.data() + 4);
    out.previous = loadLE32(bytes.data() + format.indexPrevOffset);
    out.next = loadLE32(bytes.data() + format.indexNextOffset);
    out.tail = loadLE32(bytes.data() + format.indexTailOffset);
    out.prefixLength = format.indexPrefixLength == 1 ? bytes[format.indexPrefixOffset]
                                                      : loadLE16(bytes.data() + format.indexPrefixOffset);
    out.level = bytes[format.indexLevelOffset];
    return {out.leaf, out.prefixLength};
}

}  // namespace

IndexPage readIndexPage(const PageFile &file, PageNumber number, const std::string &where)
{
    PageHandle handle = file.page(number);
    IndexPage page;
    const IndexPageHeader header = readHeader(file, *handle, page, where);
    EntryBounds entries;
    page.usedBytes = readEntries(file, *handle, header.leaf, header.prefixLength, entries, where);
    page.entries.resize(entries.count());
    for (std::size_t k = 0; k < entries.count(); ++k)
        entries.entry(k, page.entries[k]);
    return page;
}

namespace {

class IndexWalker {
public:
    IndexWalker(const PageFile &file, const std::string &where, const std::function<void(const IndexEntry &)> &visit)
        : file_(file), where_(where), visit_(visit)
    {
    }

    IndexWalk walk(PageNumber root)
    {
        descend(root, 1);
        return std::move(result_);
    }

private:
    void descend(PageNumber number, unsigned depth)
    {
        if (depth > kMaxIndexDepth)
            throw Error(ErrorKind::Damaged, where_ + ": 索引の木が深すぎます（" + file_.describePage(number) + "）。");
        if (!seen_.insert(number).second)
            throw Error(ErrorKind::Damaged, where_ + ": 索引の木が " + file_.describePage(number) + " で循環しています。");
        result_.pages.push_back(number);
        result_.depth = std::max(result_.depth, depth);
        const PageHandle handle = file_.page(number);
        IndexPage page;
        const IndexPageHeader header = readHeader(file_, *handle, page, where_);
        readEntries(file_, *handle, header.leaf, header.prefixLength, entries_, where_);
        if (page.leaf) {
            result_.leaves.push_back({number, page.previous, page.next});
            for (std::size_t k = 0; k < entries_.count(); ++k)
                emitLeafEntry(k, number);
            return;
        }
        // entries_ is reused below, so the children are taken out first.
        std::vector<PageNumber> children;
        children.reserve(entries_.count() + 1);
        for (std::size_t k = 0; k < entries_.count(); ++k) {
            entries_.entry(k, entry_.key);
            children.push_back(loadBE32(entry_.key.data() + entry_.key.size() - kChildPointerLength));
        }
        if (page.tail != 0)
            children.push_back(page.tail);
        for (PageNumber child : children)
            descend(child, depth + 1);
    }

    void emitLeafEntry(std::size_t k, PageNumber leaf)
    {
        entries_.entry(k, entry_.key);  // key, then the row pointer
        const std::size_t keyLength = entry_.key.size() - kRowPointerLength;
        entry_.row = RowId{loadBE24(entry_.key.data() + keyLength), entry_.key[keyLength + 3]};
        entry_.key.resize(keyLength);
        entry_.leafPage = leaf;
        ++result_.entries;
        visit_(entry_);
    }

    const PageFile &file_;
    const std::string &where_;
    const std::function<void(const IndexEntry &)> &visit_;
    std::unordered_set<PageNumber> seen_;
    IndexWalk result_;
    IndexEntry entry_;
    EntryBounds entries_;
};

}  // namespace

IndexWalk walkIndex(const PageFile &file, const RealIndexDef &index, const std::string &where,
                    const std::function<void(const IndexEntry &)> &visit)
{
    return IndexWalker(file, where, visit).walk(index.rootPage);
}

std::vector<IndexEntry> readIndexEntries(const PageFile &file, const RealIndexDef &index, const std::string &where)
{
    std::vector<IndexEntry> entries;
    walkIndex(file, index, where, [&](const IndexEntry &entry) { entries.push_back(entry); });
    return entries;
}

}  // namespace jet
