#include "jet/write/DigestThread.h"

namespace jet::write {

namespace {

constexpr std::size_t kRowsPerBatch = 4096;

}  // namespace

DigestThread::DigestThread() : thread_([this] { digestBatches(); }) {}

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

void DigestThread::startTable(std::uint32_t definitionPage)
{
    Item &item = nextItem();
    item.startsTable = true;
    item.definitionPage = definitionPage;
}

void DigestThread::addRow(ByteSpan bytes, std::span<const OutOfRowValue> outOfRow)
{
    Item &item = nextItem();
    item.startsTable = false;
    item.row.assign(bytes.begin(), bytes.end());
    item.moved.resize(outOfRow.size());
    for (std::size_t i = 0; i < outOfRow.size(); ++i) {
        item.moved[i].offsetInRow = outOfRow[i].offsetInRow;
        item.moved[i].value.assign(outOfRow[i].bytes.begin(), outOfRow[i].bytes.end());
    }
}

DigestThread::Item &DigestThread::nextItem()
{
    if (filling_->used == kRowsPerBatch)
        handOver();
    Batch &batch = *filling_;
    if (batch.used == batch.items.size())
        batch.items.emplace_back();
    return batch.items[batch.used++];
}

// Gives the filled batch to the thread and takes the spare one, waiting while
// the thread still digests the batch before.
void DigestThread::handOver()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return (full_ == nullptr && spare_ != nullptr) || failure_; });
    if (failure_) {  // the rest is not digested; finish() says why
        filling_->used = 0;
        return;
    }
    full_ = filling_;
    filling_ = spare_;
    spare_ = nullptr;
    filling_->used = 0;
    lock.unlock();
    changed_.notify_all();
}

std::map<std::uint32_t, TableDigest> DigestThread::finish()
{
    if (filling_->used > 0)
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
    for (std::size_t i = 0; i < batch.used; ++i) {
        const Item &item = batch.items[i];
        if (item.startsTable) {
            current_ = &digests_[item.definitionPage];
            *current_ = TableDigest{};
        } else if (current_) {
            current_->add(digestRow(item.row, item.moved));
        }
    }
}

}  // namespace jet::write
