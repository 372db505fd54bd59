#include "jet/write/PageOutput.h"

#include "jet/Error.h"
#include "jet/SystemErrorText.h"

#include <cerrno>
#include <cstring>

namespace jet::write {

void MemoryPageOutput::requireRoom(std::uint64_t size) const
{
    if (sizeLimit_ != 0 && size > sizeLimit_)
        throw Error(ErrorKind::Io, "メモリ上の最適化先に書き込めません: " + systemErrorText(ENOSPC));
}

void MemoryPageOutput::write(std::uint64_t offset, ByteSpan bytes)
{
    const std::uint64_t end = offset + bytes.size();
    requireRoom(end);
    if (end > bytes_.size())
        bytes_.resize(end);
    if (!bytes.empty())
        std::memcpy(bytes_.data() + offset, bytes.data(), bytes.size());
}

void MemoryPageOutput::resize(std::uint64_t size)
{
    requireRoom(size);
    bytes_.resize(size);
}

}  // namespace jet::write
