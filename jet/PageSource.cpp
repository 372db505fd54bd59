#include "jet/PageSource.h"

#include "jet/Error.h"
#include "jet/SystemErrorText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <vector>

namespace jet {

namespace {

std::string systemMessage(int error) { return fileOpenErrorText(error); }

// What a path that is not a regular file names, for a message that says so.
std::string kindOfNonRegular(mode_t mode)
{
    if (S_ISDIR(mode))
        return "フォルダーです。データベースのファイルを指定してください。";
    if (S_ISFIFO(mode))
        return "名前付きパイプ (FIFO) です。データベースのファイルを指定してください。";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "デバイスです。データベースのファイルを指定してください。";
    if (S_ISSOCK(mode))
        return "ソケットです。データベースのファイルを指定してください。";
    return "通常のファイルではありません。";
}

class FilePageSource : public PageSource {
public:
    explicit FilePageSource(std::string path) : path_(std::move(path))
    {
        // Non-blocking, so a FIFO cannot hold the open until a writer comes;
        // only regular files are read, where the flag changes nothing.
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd_ < 0)
            throw Error(ErrorKind::Io, "ファイル '" + path_ + "' を開けません。" + systemMessage(errno));
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            const int error = errno;
            ::close(fd_);
            throw Error(ErrorKind::Io, "ファイル '" + path_ + "' を開けません。" +
                                           (S_ISREG(st.st_mode) ? systemMessage(error) : kindOfNonRegular(st.st_mode)));
        }
        size_ = static_cast<std::uint64_t>(st.st_size);
    }
    ~FilePageSource() override { ::close(fd_); }
    FilePageSource(const FilePageSource &) = delete;
    FilePageSource &operator=(const FilePageSource &) = delete;

    std::uint64_t size() const override { return size_; }
    std::optional<FileStamp> stamp() const override { return stampOfDescriptor(fd_); }
    const std::string &name() const override { return path_; }

    void read(std::uint64_t offset, MutableByteSpan out) const override
    {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                throw Error(ErrorKind::Io, "ファイル '" + path_ + "' を読み込めません。" +
                                               (got < 0 ? systemMessage(errno) : "ファイルが途中で終わっています。"));
            done += static_cast<std::size_t>(got);
        }
    }

    void readScattered(std::uint64_t offset, std::span<const MutableByteSpan> buffers) const override
    {
        std::vector<iovec> vectors;
        std::size_t total = 0;
        for (const MutableByteSpan &buffer : buffers) {
            vectors.push_back({buffer.data(), buffer.size()});
            total += buffer.size();
        }
        const ssize_t got = ::preadv(fd_, vectors.data(), static_cast<int>(vectors.size()), static_cast<off_t>(offset));
        if (got == static_cast<ssize_t>(total))
            return;
        PageSource::readScattered(offset, buffers);  // short or interrupted: byte-exact fallback
    }

private:
    std::string path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace

std::unique_ptr<PageSource> openFilePageSource(const std::string &path)
{
    return std::make_unique<FilePageSource>(path);
}

void MemoryPageSource::read(std::uint64_t offset, MutableByteSpan out) const
{
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset)
        throw Error(ErrorKind::Io, "ファイル '" + name_ + "' を読み込めません。ファイルが途中で終わっています。");
    if (out.empty())
        return;
    std::memcpy(out.data(), bytes_.data() + offset, out.size());
}

}  // namespace jet
