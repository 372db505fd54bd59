// Table digests computed on a thread of their own. Digesting a row costs
// about as much as checking or copying it, so while the checker or the copier
// reads on, the rows it passes are copied in batches to a second thread that
// digests them. A batch holds a few thousand rows or about a quarter megabyte,
// whichever comes first, so rows of any size take the same memory.
#pragma once

#include "jet/check/Checker.h"
#include "jet/write/RowDigest.h"

#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

namespace jet::write {

class DigestThread {
public:
    DigestThread();
    ~DigestThread();  // stops the thread if finish() was not called

    // Rows after this belong to the table defined at `definitionPage`; a table
    // started again starts from nothing.
    void startTable(std::uint32_t definitionPage);
    void addRow(ByteSpan bytes, std::span<const OutOfRowValue> outOfRow);

    // Waits for the last rows; the digest of every table started, by
    // definition page. Rethrows what stopped the thread.
    std::map<std::uint32_t, TableDigest> finish();

private:
    struct Item {
        bool startsTable = false;
        std::uint32_t definitionPage = 0;
        std::uint32_t rowSize = 0;     // its bytes follow the item before's in Batch::bytes
        std::uint32_t movedCount = 0;  // its values follow the item before's in Batch::moved
    };
    struct Batch {
        // Capacity kept from batch to batch; the moved values are let go.
        std::vector<Item> items;
        std::vector<std::uint8_t> bytes;
        std::vector<MovedLongValue> moved;
        std::size_t movedBytes = 0;
        void clear();
    };

    // Hands the batch over first when it is full.
    void makeRoom();
    void handOver();
    void digestBatches();
    void digest(const Batch &batch);

    std::mutex mutex_;
    std::condition_variable changed_;
    Batch batches_[2];
    Batch *filling_ = &batches_[0];
    Batch *full_ = nullptr;      // waiting for the thread
    Batch *spare_ = &batches_[1];
    bool finished_ = false;
    std::exception_ptr failure_;

    // Touched by the thread only until finish() has joined it.
    std::map<std::uint32_t, TableDigest> digests_;
    TableDigest *current_ = nullptr;

    std::thread thread_;
};

}  // namespace jet::write
