// A read-only database file as an array of decoded pages, behind a page cache
// of fixed size (memory stays bounded whatever the file size). Opening reads
// page 0, refuses non-Jet files and checks the password (§hdr, §hdr.password);
// pages >= 1 of encoded databases are RC4-decoded on load (§rc4.pages).
// Not thread-safe: one PageFile per thread.
#pragma once

#include "jet/Bytes.h"
#include "jet/Format.h"
#include "jet/Header.h"
#include "jet/PageSource.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace jet {

struct Page {
    PageNumber number = 0;
    std::vector<std::uint8_t> bytes;  // decoded, exactly one page long
};

// A page stays valid for as long as a handle to it is held, even after the
// cache has dropped it.
using PageHandle = std::shared_ptr<const Page>;

class PageFile {
public:
    static constexpr std::size_t kDefaultCachePages = 1024;

    // Opens `path` read-only. Throws jet::Error: Io (cannot read), Format (not a
    // Jet 3/4 database), Damaged (too short), Password (the database has a
    // password and `password` differs from it).
    static std::unique_ptr<PageFile> open(const std::string &path, const std::string &password,
                                          std::size_t cachePages = kDefaultCachePages);
    static std::unique_ptr<PageFile> open(std::unique_ptr<PageSource> source, const std::string &password,
                                          std::size_t cachePages = kDefaultCachePages);
    // Opens like `open` but leaves the database password unchecked, for what
    // anyone who can read the file may learn from its header and free-page
    // map (format, encoding, whether it has a password, free pages). Table
    // content is for `open` with the password.
    static std::unique_ptr<PageFile> openWithoutPassword(const std::string &path);

    const std::string &path() const { return source_->name(); }
    const DatabaseHeader &header() const { return header_; }
    const FormatConstants &format() const { return *format_; }
    JetVersion version() const { return header_.version; }
    std::uint32_t pageSize() const { return format_->pageSize; }
    // Whole pages in the file; a partial last page is not counted.
    PageNumber pageCount() const { return pageCount_; }
    std::uint64_t fileSize() const { return source_->size(); }
    bool hasPartialLastPage() const { return source_->size() % format_->pageSize != 0; }
    // The source as it is now, to tell whether it changed while it was read.
    std::optional<FileStamp> sourceStamp() const { return source_->stamp(); }

    // Page 0 as stored but with its header region de-obscured.
    ByteSpan headerPage() const { return headerPage_; }

    // Decoded page `number`. Throws jet::Error(Damaged) when it lies past the end.
    PageHandle page(PageNumber number) const;

    // "ファイル '<path>' のページ N" for messages.
    std::string describePage(PageNumber number) const;

    // Pages read from the source so far (for tests of the cache).
    std::uint64_t pagesLoaded() const { return pagesLoaded_; }

private:
    PageFile(std::unique_ptr<PageSource> source, std::size_t cachePages);
    void openHeader(const std::string *password);
    void load(PageNumber first) const;
    std::shared_ptr<Page> takeSlot(PageNumber number) const;

    struct Slot {
        std::shared_ptr<Page> page;
        bool referenced = false;
    };

    std::unique_ptr<PageSource> source_;
    const FormatConstants *format_ = &kJet4Format;
    DatabaseHeader header_;
    std::vector<std::uint8_t> headerPage_;
    PageNumber pageCount_ = 0;

    std::size_t cacheCapacity_;
    mutable std::vector<Slot> slots_;
    mutable std::unordered_map<PageNumber, std::size_t> slotOf_;
    mutable std::size_t clockHand_ = 0;
    mutable std::uint64_t pagesLoaded_ = 0;
};

}  // namespace jet
