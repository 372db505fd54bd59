#include "jet/IndexPage.h"

#include "jet/Error.h"

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

// §index.entries: each set mask bit marks where an entry ends.
void readEntries(const PageFile &file, const Page &page, IndexPage &out, const std::string &where)
{
    const FormatConstants &format = file.format();
    const auto &bytes = page.bytes;
    const std::size_t area = bytes.size() - format.indexEntriesOffset;
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
            std::vector<std::uint8_t> entry;
            if (!out.entries.empty() && out.prefixLength > 0) {
                const auto &first = out.entries.front();
                if (first.size() < out.prefixLength)
                    throwBadIndexPage(file, page.number, where, "共通接頭部が最初の項目より長い");
                entry.assign(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(out.prefixLength));
            }
            entry.insert(entry.end(), stored, stored + (end - start));
            const std::size_t minimum = kRowPointerLength + (out.leaf ? 0 : kChildPointerLength);
            if (entry.size() < minimum)
                throwBadIndexPage(file, page.number, where, "項目が短すぎる");
            out.entries.push_back(std::move(entry));
            start = end;
        }
    }
    out.usedBytes = start;
}

}  // namespace

IndexPage readIndexPage(const PageFile &file, PageNumber number, const std::string &where)
{
    const FormatConstants &format = file.format();
    PageHandle handle = file.page(number);
    const auto &bytes = handle->bytes;
    IndexPage page;
    page.number = number;
    if (bytes[0] == static_cast<std::uint8_t>(PageType::IndexLeaf))
        page.leaf = true;
    else if (bytes[0] == static_cast<std::uint8_t>(PageType::IndexNode))
        page.leaf = false;
    else
        throwBadIndexPage(file, number, where, "ページの種類 " + std::to_string(bytes[0]));
    page.freeSpace = loadLE16(bytes.data() + 2);
    page.owner = loadLE32(bytes.data() + 4);
    page.previous = loadLE32(bytes.data() + format.indexPrevOffset);
    page.next = loadLE32(bytes.data() + format.indexNextOffset);
    page.tail = loadLE32(bytes.data() + format.indexTailOffset);
    page.prefixLength = format.indexPrefixLength == 1 ? bytes[format.indexPrefixOffset]
                                                       : loadLE16(bytes.data() + format.indexPrefixOffset);
    page.level = bytes[format.indexLevelOffset];
    readEntries(file, *handle, page, where);
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
        const IndexPage page = readIndexPage(file_, number, where_);
        if (page.leaf) {
            result_.leaves.push_back({number, page.previous, page.next});
            for (const auto &bytes : page.entries)
                emitLeafEntry(bytes, number);
            return;
        }
        for (const auto &bytes : page.entries)
            descend(loadBE32(bytes.data() + bytes.size() - kChildPointerLength), depth + 1);
        if (page.tail != 0)
            descend(page.tail, depth + 1);
    }

    void emitLeafEntry(const std::vector<std::uint8_t> &bytes, PageNumber leaf)
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
