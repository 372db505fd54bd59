#include "jet/Error.h"
#include "jet/write/EncodedPageWriter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records the offsets written and fails the write at `failAt`.
class FailingOutput : public jet::write::PageOutput {
public:
    explicit FailingOutput(std::size_t failAt) : failAt_(failAt) {}
    void write(std::uint64_t offset, jet::ByteSpan) override
    {
        if (offsets.size() == failAt_)
            throw jet::Error(jet::ErrorKind::Io, "full");
        offsets.push_back(offset);
    }
    void resize(std::uint64_t) override {}
    std::uint64_t size() const override { return 0; }
    std::vector<std::uint64_t> offsets;

private:
    std::size_t failAt_;
};

// Pages 0..n-1, in runs the writer gathers (64 pages) and hands over.
void writePages(jet::write::EncodedPageWriter &pages, std::uint32_t count)
{
    const std::vector<std::uint8_t> page(4096, 0xAB);
    for (std::uint32_t n = 0; n < count; ++n)
        pages.write(n, page);
}

TEST(BackgroundWriter, WritesInOrderAndReportsTheFirstFailureAtALaterCall)
{
    FailingOutput whole(1000);
    {
        jet::write::EncodedPageWriter pages(whole, 4096, 0);
        writePages(pages, 300);
        pages.flush();
    }
    EXPECT_EQ(whole.offsets, (std::vector<std::uint64_t>{0, 64 * 4096, 128 * 4096, 192 * 4096, 256 * 4096}));

    FailingOutput failing(1);
    {
        jet::write::EncodedPageWriter pages(failing, 4096, 0);
        EXPECT_THROW(
            {
                writePages(pages, 300);
                pages.flush();
            },
            jet::Error);
        // Nothing after the failed write reaches the output, and the failure stays.
        EXPECT_THROW(pages.flush(), jet::Error);
    }
    EXPECT_EQ(failing.offsets, std::vector<std::uint64_t>{0});
}

}  // namespace
