// Digests made on the second thread must be the digests of exactly the rows
// handed over, each counted in its own table, however many batches they fill.
#include "jet/write/DigestThread.h"

#include <gtest/gtest.h>

#include <random>

TEST(DigestThread, EveryRowCountsOnceInItsTable)
{
    std::mt19937 random(7);
    jet::write::DigestThread thread;
    std::map<std::uint32_t, jet::write::TableDigest> expected;
    // Table 9 is started twice: only its second round counts. Table 11's
    // rows fill batches by their bytes rather than by their number.
    const std::vector<std::pair<std::uint32_t, int>> tables = {{5, 3}, {9, 20000}, {7, 0}, {9, 9000}, {11, 2345}};
    for (const auto &[page, rows] : tables) {
        thread.startTable(page);
        expected[page] = {};
        for (int i = 0; i < rows; ++i) {
            std::vector<std::uint8_t> row((page == 11 ? 3000 : 20) + random() % 60);
            for (auto &byte : row)
                byte = static_cast<std::uint8_t>(random());
            std::vector<jet::OutOfRowValue> outOfRow;
            std::vector<jet::write::MovedLongValue> moved;
            if (i % 7 == 0) {
                outOfRow.push_back({4, std::vector<std::uint8_t>(100 + i % 50, static_cast<std::uint8_t>(i))});
                moved.push_back({4, outOfRow.back().bytes});
            }
            thread.addRow(row, outOfRow);
            expected[page].add(jet::write::digestRow(row, moved));
        }
    }
    const auto found = thread.finish();
    ASSERT_EQ(found.size(), expected.size());
    for (const auto &[page, digest] : expected) {
        SCOPED_TRACE(page);
        ASSERT_TRUE(found.count(page));
        EXPECT_EQ(found.at(page).rows, digest.rows);
        EXPECT_EQ(found.at(page).sum, digest.sum);
    }
}

TEST(DigestThread, StopsCleanlyWhenNeverFinished)
{
    jet::write::DigestThread thread;
    thread.startTable(3);
    for (int i = 0; i < 10000; ++i)
        thread.addRow(std::vector<std::uint8_t>(30, 1), {});
}
