// Where pages come from. Only FilePageSource touches the file system (it opens
// read-only and never writes); tests and the fuzzer use MemoryPageSource.
#pragma once

#include "jet/Bytes.h"
#include "jet/FileStamp.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace jet {

class PageSource {
public:
    virtual ~PageSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly out.size() bytes at `offset`; throws jet::Error(Io) on failure.
    virtual void read(std::uint64_t offset, MutableByteSpan out) const = 0;
    // Reads consecutive bytes at `offset` into several buffers in turn (one
    // system call for files).
    virtual void readScattered(std::uint64_t offset, std::span<const MutableByteSpan> buffers) const
    {
        for (const MutableByteSpan &buffer : buffers) {
            read(offset, buffer);
            offset += buffer.size();
        }
    }
    // The name used in messages (the path for files).
    virtual const std::string &name() const = 0;
    // The opened file as it is now (none for sources that are no file).
    virtual std::optional<FileStamp> stamp() const { return std::nullopt; }
};

// Opens `path` read-only. Throws jet::Error(Io) naming the path.
std::unique_ptr<PageSource> openFilePageSource(const std::string &path);

class MemoryPageSource : public PageSource {
public:
    MemoryPageSource(std::vector<std::uint8_t> bytes, std::string name)
        : bytes_(std::move(bytes)), name_(std::move(name))
    {
    }
    std::uint64_t size() const override { return bytes_.size(); }
    void read(std::uint64_t offset, MutableByteSpan out) const override;
    const std::string &name() const override { return name_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::string name_;
};

}  // namespace jet
