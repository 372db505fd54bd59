// Where the writer's bytes go. OutputFile is the one that reaches the file
// system (a temporary file beside the target); MemoryPageOutput keeps the
// copy in memory, so tests and the fuzzer can compact without any file.
#pragma once

#include "jet/Bytes.h"

#include <cstdint>
#include <vector>

namespace jet::write {

class PageOutput {
public:
    virtual ~PageOutput() = default;
    // Throws jet::Error(Io) when the bytes cannot be written.
    virtual void write(std::uint64_t offset, ByteSpan bytes) = 0;
    // Makes the output exactly `size` bytes long (zero-filled past what was written).
    virtual void resize(std::uint64_t size) = 0;
    virtual std::uint64_t size() const = 0;
};

class MemoryPageOutput : public PageOutput {
public:
    // `sizeLimit` > 0 makes writes past that many bytes fail as a full disk
    // would, so tests can prove the writer's failure paths.
    explicit MemoryPageOutput(std::uint64_t sizeLimit = 0) : sizeLimit_(sizeLimit) {}

    void write(std::uint64_t offset, ByteSpan bytes) override;
    void resize(std::uint64_t size) override;
    std::uint64_t size() const override { return bytes_.size(); }
    const std::vector<std::uint8_t> &bytes() const { return bytes_; }
    std::vector<std::uint8_t> release() { return std::move(bytes_); }

private:
    void requireRoom(std::uint64_t size) const;

    std::uint64_t sizeLimit_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace jet::write
