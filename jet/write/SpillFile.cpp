#include "jet/write/SpillFile.h"

#include "jet/Error.h"
#include "jet/SystemErrorText.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace jet::write {

SpillFile::SpillFile(std::string folder, std::string namePrefix, std::string purpose)
    : folder_(std::move(folder)), namePrefix_(std::move(namePrefix)), purpose_(std::move(purpose))
{
}

SpillFile::~SpillFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void SpillFile::writeFailed(int error) const
{
    throw Error(ErrorKind::Io, purpose_ + "に書き込めません: " + systemErrorText(error));
}

void SpillFile::open()
{
    if (folder_.empty())
        writeFailed(ENOSPC);
    fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0)
        return;
    std::string pattern = folder_ + "/" + namePrefix_ + "XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0)
        writeFailed(errno);
    ::unlink(pattern.c_str());
}

void SpillFile::write(std::uint64_t offset, const void *data, std::size_t length)
{
    if (fd_ < 0)
        open();
    const auto *p = static_cast<const char *>(data);
    while (length > 0) {
        const ssize_t n = ::pwrite(fd_, p, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            writeFailed(n < 0 ? errno : ENOSPC);
        p += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
}

void SpillFile::read(std::uint64_t offset, void *data, std::size_t length) const
{
    auto *p = static_cast<char *>(data);
    while (length > 0) {
        const ssize_t n = fd_ < 0 ? 0 : ::pread(fd_, p, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw Error(ErrorKind::Io, purpose_ + "を読めません: " + systemErrorText(n < 0 ? errno : EIO));
        p += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
}

void SpillFile::clear()
{
    if (fd_ >= 0)
        ::ftruncate(fd_, 0);
}

}  // namespace jet::write
