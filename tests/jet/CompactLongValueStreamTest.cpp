// Long values go from the source's chain to the copy's in pieces of whatever
// size the source's fragments have. The pages and headers written, and the
// row digest the copy is verified against, must not depend on how a value
// was cut into pieces.
#include "CompactTestSupport.h"

#include "jet/write/EncodedPageWriter.h"
#include "jet/write/LongValueWriter.h"
#include "jet/write/OutputFile.h"
#include "jet/write/PageAllocator.h"
#include "jet/write/RowDigest.h"

#include <random>

using namespace compacttest;
using jet::write::LongValueWriter;
using jet::write::MovedLongValue;
using jet::write::RowDigester;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes randomBytes(std::size_t length, std::mt19937 &random)
{
    Bytes bytes(length);
    for (auto &b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

// Writes `values` through one writer into a file, each cut into pieces of
// `pieceSize` bytes (0: handed over whole); returns the file and the headers.
std::pair<std::string, std::vector<LongValueWriter::Header>> writeValues(const ScratchFolder &scratch,
                                                                          const std::string &name,
                                                                          const std::vector<Bytes> &values,
                                                                          std::size_t pieceSize)
{
    std::vector<LongValueWriter::Header> headers;
    const std::string path = scratch.file(name);
    {
        jet::write::OutputFile out(path, scratch.file("absent-source"));
        jet::write::PageAllocator allocator({0, 1});
        jet::write::EncodedPageWriter pages(out, 4096, 0);
        LongValueWriter writer(jet::kJet4Format, allocator, pages);
        for (const Bytes &value : values) {
            if (pieceSize == 0) {
                headers.push_back(writer.write(value));
                continue;
            }
            writer.beginValue(value.size());
            for (std::size_t at = 0; at < value.size(); at += pieceSize)
                writer.appendValue(jet::ByteSpan(value).subspan(at, std::min(pieceSize, value.size() - at)));
            headers.push_back(writer.endValue());
        }
        writer.finish();
        pages.flush();
        out.flush();
        out.commit();
    }
    return {readAll(path), headers};
}

TEST(CompactLongValueStreamTest, PiecesOfAnySizeGiveTheSamePagesAsWholeValues)
{
    ScratchFolder scratch("lval-stream");
    std::mt19937 random(3);
    // Around the single-row limit (4096 - 14 - 2 - 4 on Jet 4), chains of
    // several pages, and small values that share a page with a chain's start.
    std::vector<Bytes> values;
    for (std::size_t length : {0u, 1u, 200u, 4075u, 4076u, 4077u, 9000u, 30u, 70000u, 5u, 8152u})
        values.push_back(randomBytes(length, random));
    const auto whole = writeValues(scratch, "whole.mdb", values, 0);
    for (std::size_t pieceSize : {1u, 7u, 4072u, 5000u}) {
        SCOPED_TRACE(pieceSize);
        const auto pieces = writeValues(scratch, "pieces-" + std::to_string(pieceSize) + ".mdb", values, pieceSize);
        EXPECT_TRUE(pieces.first == whole.first);
        EXPECT_EQ(pieces.second, whole.second);
    }
}

TEST(CompactLongValueStreamTest, StreamedDigestEqualsTheDigestOfWholeValues)
{
    std::mt19937 random(5);
    const Bytes row = randomBytes(120, random);
    // In row order; the third overlaps the second and the last runs past the
    // row's end: the whole-value digest leaves both out, so must the stream.
    const std::vector<MovedLongValue> moved = {{10, randomBytes(5000, random)},
                                               {40, randomBytes(3, random)},
                                               {45, randomBytes(70, random)},
                                               {80, {}},
                                               {115, randomBytes(9, random)}};
    RowDigester streamed(row);
    for (const MovedLongValue &value : moved) {
        if (!streamed.beginValue(value.offsetInRow, value.value.size()))
            continue;
        for (std::size_t at = 0; at < value.value.size(); at += 1000)
            streamed.addValueBytes(jet::ByteSpan(value.value).subspan(at, std::min<std::size_t>(1000, value.value.size() - at)));
    }
    EXPECT_EQ(streamed.finish(), jet::write::digestRow(row, moved));
    EXPECT_NE(jet::write::digestRow(row, moved), jet::write::digestRow(row, {}));
}

}  // namespace
