// The source is read while other programs may still write to it: one that
// ignores the lock file can change pages already copied. A copy of a file
// that changed meanwhile is no copy of any state the file was in, so the
// compaction compares the source at the end with the source at the start,
// both the opened file and the file the path names now.
#pragma once

#include "jet/FileStamp.h"
#include "jet/PageFile.h"

#include <optional>
#include <string>

namespace jet {

class SourceWatch {
public:
    // Takes both stamps now; `file` must outlive the watch.
    SourceWatch(const PageFile &file, std::string path);

    // Throws jet::Error(InUse) naming the source when either stamp differs.
    void requireUnchanged() const;

private:
    const PageFile &file_;
    std::string path_;
    std::optional<FileStamp> opened_;
    std::optional<FileStamp> named_;
};

}  // namespace jet
