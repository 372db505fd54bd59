// A temporary file for what a memory budget cannot hold (sort runs, row
// relocations), in the target's folder: the space is needed there anyway,
// and a full disk is reported like any write. Unnamed where the system
// allows, else named and unlinked at once, so nothing is left behind however
// the process ends. Opened by the first write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jet::write {

class SpillFile {
public:
    // `folder` empty: a compaction held in memory, which must not touch the
    // file system, so every write fails as on a full disk. `namePrefix` names
    // a named file; `purpose` the file in messages ("並べ替え用の一時ファイル").
    SpillFile(std::string folder, std::string namePrefix, std::string purpose);
    ~SpillFile();
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    // Both throw jet::Error(Io) naming the purpose.
    void write(std::uint64_t offset, const void *data, std::size_t length);
    void read(std::uint64_t offset, void *data, std::size_t length) const;
    // Drops the file's content, keeping it open.
    void clear();

private:
    void open();
    [[noreturn]] void writeFailed(int error) const;

    std::string folder_;
    std::string namePrefix_;
    std::string purpose_;
    int fd_ = -1;
};

}  // namespace jet::write
