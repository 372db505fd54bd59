#include "jet/write/BackgroundWriter.h"

namespace jet::write {

BackgroundWriter::BackgroundWriter(PageOutput &output) : output_(output), thread_([this] { run(); }) {}

BackgroundWriter::~BackgroundWriter()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        pending_.reset();
    }
    changed_.notify_all();
    thread_.join();
}

std::vector<std::uint8_t> BackgroundWriter::submit(std::uint64_t offset, std::vector<std::uint8_t> bytes)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_ || failure_; });
    rethrowFailure();
    pending_ = Job{offset, std::move(bytes)};
    std::vector<std::uint8_t> next;
    if (!spare_.empty()) {
        next = std::move(spare_.back());
        spare_.pop_back();
    }
    lock.unlock();
    changed_.notify_all();
    return next;
}

void BackgroundWriter::wait()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return (!pending_ && !writing_) || failure_; });
    rethrowFailure();
}

void BackgroundWriter::rethrowFailure()
{
    if (failure_)
        std::rethrow_exception(failure_);
}

void BackgroundWriter::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ || stopping_; });
        if (!pending_)
            return;
        Job job = std::move(*pending_);
        pending_.reset();
        writing_ = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            output_.write(job.offset, job.bytes);
        } catch (...) {
            failure = std::current_exception();
        }
        job.bytes.clear();
        lock.lock();
        writing_ = false;
        if (failure) {
            failure_ = failure;
            pending_.reset();  // nothing after a failed write
        }
        spare_.push_back(std::move(job.bytes));
        changed_.notify_all();
    }
}

}  // namespace jet::write
