#include "jet/write/EncodedPageWriter.h"

#include "jet/Error.h"
#include "jet/Rc4.h"

#include <cstring>

namespace jet::write {

void EncodedPageWriter::write(std::uint32_t pageNumber, ByteSpan page)
{
    if (page.size() != pageSize_)
        throw Error(ErrorKind::Unsupported, "内部エラー: ページの長さが正しくありません。");
    ByteSpan out = page;
    if (encodingKey_ != 0 && pageNumber != 0) {
        std::memcpy(scratch_.data(), page.data(), pageSize_);
        rc4ApplyPage(encodingKey_, pageNumber, scratch_);
        out = scratch_;
    }
    file_.write(static_cast<std::uint64_t>(pageNumber) * pageSize_, out);
    ++pagesWritten_;
}

}  // namespace jet::write
