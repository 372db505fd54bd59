#include "jet/write/DigestThread.h"

namespace jet::write {

namespace {

constexpr std::size_t kRowsPerBatch = 4096;
constexpr std::size_t kBytesPerBatch = 256 << 10;
constexpr std::size_t kMaxRowBytes = 4096;  // a row lies on one page

}  // namespace

DigestThread::DigestThread()
{
    // A batch is handed over once it holds a quarter megabyte, so it never holds more
    // than that and one row: no growth by doubling.
    for (Batch &batch : batches_) {
        batch.items.reserve(kRowsPerBatch);
        batch.bytes.reserve(kBytesPerBatch + kMaxRowBytes);
    }
    thread_ = std::thread([this] { digestBatches(); });
}

DigestThread::~DigestThread()
{
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
            full_ = nullptr;
        }
        changed_.notify_all();
        thread_.join();
    }
}

void DigestThread::Batch::clear()
{
    items.clear();
    bytes.clear();
    moved.clear();
    movedBytes = 0;
}

void DigestThread::startTable(std::uint32_t definitionPage)
{
    makeRoom();
    filling_->items.push_back({true, definitionPage, 0, 0});
}

void DigestThread::addRow(ByteSpan bytes, std::span<const OutOfRowValue> outOfRow)
{
    makeRoom();
    Batch &batch = *filling_;
    batch.items.push_back({false, 0, static_cast<std::uint32_t>(bytes.size()),
                           static_cast<std::uint32_t>(outOfRow.size())});
    batch.bytes.insert(batch.bytes.end(), bytes.begin(), bytes.end());
    for (const OutOfRowValue &value : outOfRow) {
        batch.moved.push_back({value.offsetInRow, value.bytes});
        batch.movedBytes += value.bytes.size();
    }
}

void DigestThread::makeRoom()
{
    const Batch &batch = *filling_;
    if (batch.items.size() == kRowsPerBatch || batch.bytes.size() + batch.movedBytes >= kBytesPerBatch)
        handOver();
}

// Gives the filled batch to the thread and takes the spare one, waiting while
// the thread still digests the batch before.
void DigestThread::handOver()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return (full_ == nullptr && spare_ != nullptr) || failure_; });
    if (failure_) {  // the rest is not digested; finish() says why
        filling_->clear();
        return;
    }
    full_ = filling_;
    filling_ = spare_;
    spare_ = nullptr;
    filling_->clear();
    lock.unlock();
    changed_.notify_all();
}

std::map<std::uint32_t, TableDigest> DigestThread::finish()
{
    if (!filling_->items.empty())
        handOver();
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return full_ == nullptr || failure_; });
        finished_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (failure_)
        std::rethrow_exception(failure_);
    return std::move(digests_);
}

void DigestThread::digestBatches()
{
    try {
        for (;;) {
            Batch *batch = nullptr;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return full_ != nullptr || finished_; });
                if (!full_)
                    return;
                batch = full_;
            }
            digest(*batch);
            {
                const std::lock_guard lock(mutex_);
                full_ = nullptr;
                spare_ = batch;
            }
            changed_.notify_all();
        }
    } catch (...) {
        {
            const std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
        }
        changed_.notify_all();
    }
}

void DigestThread::digest(const Batch &batch)
{
    const std::uint8_t *row = batch.bytes.data();
    const MovedLongValue *moved = batch.moved.data();
    for (const Item &item : batch.items) {
        if (item.startsTable) {
            current_ = &digests_[item.definitionPage];
            *current_ = TableDigest{};
        } else if (current_) {
            current_->add(digestRow(ByteSpan(row, item.rowSize), std::span(moved, item.movedCount)));
        }
        row += item.rowSize;
        moved += item.movedCount;
    }
}

}  // namespace jet::write
