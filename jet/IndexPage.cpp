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

// A page's entries in full (prefix restored), one after another in one
// buffer: walking an index must not allocate per entry.
struct FlatEntries {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> ends;  // entry k is bytes[ends[k-1], ends[k])

    std::size_t count() const { return ends.size(); }
    ByteSpan entry(std::size_t k) const
    {
        const std::size_t begin = k == 0 ? 0 : ends[k - 1];
        return ByteSpan(bytes).subspan(begin, ends[k] - begin);
    }
};

// §index.entries: each set mask bit marks where an entry ends.
std::size_t readEntries(const PageFile &file, const Page &page, bool leaf, std::size_t prefixLength,
                        FlatEntries &out, const std::string &where)
{
    out.bytes.clear();
    out.ends.clear();
    const FormatConstants &format = file.format();
    const auto &bytes = page.bytes;
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
            const std::uint8_t *stored = bytes.data() + format.indexEntriesOffset + start;
            const std::size_t storedLength = end - start;
            std::size_t prefix = 0;
            if (out.count() > 0 && prefixLength > 0) {
                if (out.ends.front() < prefixLength)
                    throwBadIndexPage(file, page.number, where, "共通接頭部が最初の項目より長い");
                prefix = prefixLength;
            }
            if (prefix + storedLength < minimum)
                throwBadIndexPage(file, page.number, where, "項目が短すぎる");
            const std::size_t at = out.bytes.size();
            out.bytes.resize(at + prefix + storedLength);
            std::copy_n(out.bytes.data(), prefix, out.bytes.data() + at);  // the first entry's prefix
            std::copy_n(stored, storedLength, out.bytes.data() + at + prefix);
            out.ends.push_back(out.bytes.size());
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
    FlatEntries entries;
    page.usedBytes = readEntries(file, *handle, header.leaf, header.prefixLength, entries, where);
    page.entries.reserve(entries.count());
    for (std::size_t k = 0; k < entries.count(); ++k) {
        const ByteSpan entry = entries.entry(k);
        page.entries.emplace_back(entry.begin(), entry.end());
    }
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
                emitLeafEntry(entries_.entry(k), number);
            return;
        }
        // entries_ is reused below, so the children are taken out first.
        std::vector<PageNumber> children;
        children.reserve(entries_.count() + 1);
        for (std::size_t k = 0; k < entries_.count(); ++k) {
            const ByteSpan entry = entries_.entry(k);
            children.push_back(loadBE32(entry.data() + entry.size() - kChildPointerLength));
        }
        if (page.tail != 0)
            children.push_back(page.tail);
        for (PageNumber child : children)
            descend(child, depth + 1);
    }

    void emitLeafEntry(ByteSpan bytes, PageNumber leaf)
    {
        const std::size_t keyLength = bytes.size() - kRowPointerLength;
        entry_.key.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keyLength));
        entry_.row = RowId{loadBE24(bytes.data() + keyLength), bytes[keyLength + 3]};
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
    FlatEntries entries_;
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
