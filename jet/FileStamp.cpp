#include "jet/FileStamp.h"

#include <sys/stat.h>

namespace jet {

namespace {

FileStamp fromStat(const struct stat &st)
{
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modifiedSeconds = st.st_mtim.tv_sec;
    stamp.modifiedNanoseconds = st.st_mtim.tv_nsec;
    stamp.changedSeconds = st.st_ctim.tv_sec;
    stamp.changedNanoseconds = st.st_ctim.tv_nsec;
    return stamp;
}

}  // namespace

std::optional<FileStamp> stampOfPath(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return fromStat(st);
}

std::optional<FileStamp> stampOfDescriptor(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return fromStat(st);
}

}  // namespace jet
