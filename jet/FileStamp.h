// What tells a file that changed from one that did not, short of reading it:
// which file it is (device, inode), its size, and when its content and its
// inode last changed, to the nanosecond.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace jet {

struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;

    bool operator==(const FileStamp &) const = default;
};

// None when the file cannot be examined (it vanished, or the descriptor is closed).
std::optional<FileStamp> stampOfPath(const std::string &path);
std::optional<FileStamp> stampOfDescriptor(int fd);

}  // namespace jet
