#include "jet/PageFile.h"

#include "jet/Error.h"
#include "jet/Rc4.h"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

// Pages read with one system call on a miss: tables and chains are mostly laid
// out forwards, so the next pages are usually wanted next.
constexpr PageNumber kReadAheadPages = 32;

}  // namespace

std::unique_ptr<PageFile> PageFile::open(const std::string &path, const std::string &password,
                                         std::size_t cachePages)
{
    return open(openFilePageSource(path), password, cachePages);
}

std::unique_ptr<PageFile> PageFile::open(std::unique_ptr<PageSource> source, const std::string &password,
                                         std::size_t cachePages)
{
    std::unique_ptr<PageFile> file(new PageFile(std::move(source), cachePages));
    file->openHeader(&password);
    return file;
}

std::unique_ptr<PageFile> PageFile::openWithoutPassword(const std::string &path)
{
    std::unique_ptr<PageFile> file(new PageFile(openFilePageSource(path), kDefaultCachePages));
    file->openHeader(nullptr);
    return file;
}

PageFile::PageFile(std::unique_ptr<PageSource> source, std::size_t cachePages)
    : source_(std::move(source)), cacheCapacity_(std::max<std::size_t>(cachePages, 16))
{
}

void PageFile::openHeader(const std::string *password)
{
    std::vector<std::uint8_t> first(std::min<std::uint64_t>(source_->size(), 0x100));
    source_->read(0, first);
    const JetVersion version = detectVersion(first, path());
    format_ = &formatConstants(version);
    if (source_->size() < 3ull * format_->pageSize) {
        // Every database has at least its header page, the first usage map and
        // the system catalog's definition; saying where the file ends tells a
        // cut-off copy from a damaged one.
        const std::string where = source_->size() <= format_->pageSize ? "。ヘッダー ページ (ページ 0) の後がありません"
                                                                       : "。ページ 2 までありません";
        throw Error(ErrorKind::Damaged, "ファイル '" + path() + "' は途中で切れています（" +
                                            std::to_string(source_->size()) + " バイト" + where + "）。");
    }
    const std::uint64_t pages = source_->size() / format_->pageSize;
    if (pages > 0x1000000)
        throw Error(ErrorKind::Damaged, "ファイル '" + path() + "' は Jet データベースとしては大きすぎます。");
    pageCount_ = static_cast<PageNumber>(pages);

    headerPage_.resize(format_->pageSize);
    source_->read(0, headerPage_);
    toggleHeaderObscuring(headerPage_, version);
    header_ = parseHeader(headerPage_, version);
    if (password && header_.hasPassword() && header_.password != *password)
        throw Error(ErrorKind::Password, "パスワードが正しくありません。");
    slots_.resize(cacheCapacity_);
}

std::string PageFile::describePage(PageNumber number) const
{
    return "ファイル '" + path() + "' のページ " + std::to_string(number);
}

PageHandle PageFile::page(PageNumber number) const
{
    if (number >= pageCount_)
        throw Error(ErrorKind::Damaged, describePage(number) + " はファイルの終わり（" +
                                            std::to_string(pageCount_) + " ページ）を越えています。");
    auto found = slotOf_.find(number);
    if (found == slotOf_.end()) {
        load(number);
        found = slotOf_.find(number);
        if (found == slotOf_.end())
            throw Error(ErrorKind::Io, describePage(number) + " を読み込めません。");
    }
    Slot &slot = slots_[found->second];
    slot.referenced = true;
    return slot.page;
}

std::shared_ptr<Page> PageFile::takeSlot(PageNumber number) const
{
    // Clock replacement: skip recently used slots once.
    for (;;) {
        Slot &slot = slots_[clockHand_];
        const std::size_t index = clockHand_;
        clockHand_ = (clockHand_ + 1) % slots_.size();
        if (slot.referenced && slot.page) {
            slot.referenced = false;
            continue;
        }
        if (slot.page)
            slotOf_.erase(slot.page->number);
        // Reuse the buffer unless a caller still holds the old page.
        if (!slot.page || slot.page.use_count() > 1)
            slot.page = std::make_shared<Page>();
        slot.page->number = number;
        slot.page->bytes.resize(format_->pageSize);
        slot.referenced = false;
        slotOf_[number] = index;
        return slot.page;
    }
}

void PageFile::load(PageNumber first) const
{
    // At most half the cache, so that the clock never reclaims a page of this batch.
    const PageNumber limit = std::min<PageNumber>(kReadAheadPages, static_cast<PageNumber>(slots_.size() / 2));
    PageNumber count = 1;
    while (count < limit && first + count < pageCount_ && !slotOf_.count(first + count))
        ++count;
    const std::size_t pageSize = format_->pageSize;
    std::vector<std::shared_ptr<Page>> pages;
    std::vector<MutableByteSpan> buffers;
    for (PageNumber i = 0; i < count; ++i) {
        pages.push_back(takeSlot(first + i));
        buffers.push_back(pages.back()->bytes);
        if (i == 0)
            slots_[slotOf_[first]].referenced = true;  // keep the wanted page through the read-ahead
    }
    try {
        source_->readScattered(static_cast<std::uint64_t>(first) * pageSize, buffers);
    } catch (...) {
        for (const auto &page : pages)
            slotOf_.erase(page->number);  // never leave unread pages in the cache
        throw;
    }
    pagesLoaded_ += count;
    for (const auto &page : pages) {
        if (page->number == 0)
            std::memcpy(page->bytes.data(), headerPage_.data(), pageSize);
        else if (header_.encoded())
            rc4ApplyPage(header_.encodingKey, page->number, page->bytes);
    }
}

}  // namespace jet
