#include "jet/write/SpillSorter.h"

#include "jet/Error.h"

#include <algorithm>
#include <cstring>
#include <queue>

namespace jet::write {

namespace {

struct RecordView {
    ByteSpan key;
    std::uint32_t pointer;
};

RecordView viewAt(const std::uint8_t *p)
{
    const std::uint16_t length = loadLE16(p);
    return {ByteSpan(p + 2, length), loadLE32(p + 2 + length)};
}

bool lessThan(const RecordView &a, const RecordView &b)
{
    const std::size_t common = std::min(a.key.size(), b.key.size());
    if (const int c = common ? std::memcmp(a.key.data(), b.key.data(), common) : 0; c != 0)
        return c < 0;
    if (a.key.size() != b.key.size())
        return a.key.size() < b.key.size();
    return a.pointer < b.pointer;
}

// Reads one spilled run back in chunks.
class RunReader {
public:
    RunReader(const SpillFile &file, std::uint64_t offset, std::uint64_t length)
        : file_(&file), next_(offset), end_(offset + length)
    {
    }

    bool advance()
    {
        if (pos_ + 2 > buffer_.size() || pos_ + 2 + loadLE16(buffer_.data() + pos_) + 4 > buffer_.size()) {
            refill();
            if (pos_ >= buffer_.size())
                return false;
        }
        current_ = viewAt(buffer_.data() + pos_);
        pos_ += 2 + current_.key.size() + 4;
        return true;
    }
    const RecordView &current() const { return current_; }

private:
    void refill()
    {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos_));
        pos_ = 0;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, end_ - next_));
        const std::size_t kept = buffer_.size();
        buffer_.resize(kept + want);
        file_->read(next_, buffer_.data() + kept, want);
        next_ += want;
    }

    static constexpr std::size_t kChunk = 1u << 20;
    const SpillFile *file_;
    std::uint64_t next_, end_;
    std::vector<std::uint8_t> buffer_;
    std::size_t pos_ = 0;
    RecordView current_{};
};

}  // namespace

SpillSorter::SpillSorter(std::string spillFolder, std::size_t memoryBudget)
    : file_(std::move(spillFolder), ".tessivar-sort-", "並べ替え用の一時ファイル"), budget_(memoryBudget)
{
}

void SpillSorter::add(ByteSpan key, std::uint32_t rowPointer)
{
    if (key.size() > 0xFFFF)
        throw Error(ErrorKind::Damaged, "索引のキーが長すぎます。");
    const std::size_t need = 2 + key.size() + 4;
    if (!records_.empty() && arena_.size() + need + (records_.size() + 1) * sizeof(std::uint32_t) > budget_)
        spill();
    if (arena_.capacity() == 0)
        reserveBudget();
    const std::size_t at = arena_.size();
    if (at > 0xFFFFFFFFu - need)
        spill();
    arena_.resize(arena_.size() + need);
    std::uint8_t *p = arena_.data() + arena_.size() - need;
    storeLE16(p, static_cast<std::uint16_t>(key.size()));
    if (!key.empty())
        std::memcpy(p + 2, key.data(), key.size());
    storeLE32(p + 2 + key.size(), rowPointer);
    if (arrivedInOrder_ && !records_.empty() &&
        lessThan(viewAt(arena_.data() + arena_.size() - need), viewAt(arena_.data() + records_.back())))
        arrivedInOrder_ = false;
    records_.push_back(static_cast<std::uint32_t>(arena_.size() - need));
    ++count_;
}

// Address space for a full budget, taken once: growing by doubling would
// copy everything on the way and could hold up to three times the budget at
// a time. Only the pages filled count against memory.
void SpillSorter::reserveBudget()
{
    constexpr std::size_t kSmallestRecord = 2 + 4;
    arena_.reserve(std::min<std::size_t>(budget_, 0xFFFFFFFFu));
    records_.reserve(budget_ / (kSmallestRecord + sizeof(std::uint32_t)) + 1);
}

void SpillSorter::sortMemory()
{
    if (arrivedInOrder_)
        return;
    const std::uint8_t *base = arena_.data();
    std::sort(records_.begin(), records_.end(),
              [base](std::uint32_t a, std::uint32_t b) { return lessThan(viewAt(base + a), viewAt(base + b)); });
}

void SpillSorter::spill()
{
    if (records_.empty())
        return;
    sortMemory();
    const Run run{spillSize_, 0};
    std::vector<std::uint8_t> out;
    out.reserve(1u << 20);
    std::uint64_t at = spillSize_;
    for (std::uint32_t offset : records_) {
        const RecordView r = viewAt(arena_.data() + offset);
        const std::size_t length = 2 + r.key.size() + 4;
        out.insert(out.end(), arena_.data() + offset, arena_.data() + offset + length);
        if (out.size() >= (1u << 20)) {
            file_.write(at, out.data(), out.size());
            at += out.size();
            out.clear();
        }
    }
    file_.write(at, out.data(), out.size());
    at += out.size();
    runs_.push_back({run.offset, at - run.offset});
    spillSize_ = at;
    // The buffers keep their memory for the next run: it is within the budget.
    arena_.clear();
    records_.clear();
    arrivedInOrder_ = true;
}

void SpillSorter::drain(const std::function<void(ByteSpan key, std::uint32_t rowPointer)> &visit)
{
    if (runs_.empty()) {
        sortMemory();
        for (std::uint32_t offset : records_) {
            const RecordView r = viewAt(arena_.data() + offset);
            visit(r.key, r.pointer);
        }
    } else {
        spill();
        std::vector<RunReader> readers;
        readers.reserve(runs_.size());
        for (const Run &run : runs_)
            readers.emplace_back(file_, run.offset, run.length);
        auto later = [&readers](std::size_t a, std::size_t b) {
            return lessThan(readers[b].current(), readers[a].current());
        };
        std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(later)> heap(later);
        for (std::size_t i = 0; i < readers.size(); ++i)
            if (readers[i].advance())
                heap.push(i);
        while (!heap.empty()) {
            const std::size_t i = heap.top();
            heap.pop();
            visit(readers[i].current().key, readers[i].current().pointer);
            if (readers[i].advance())
                heap.push(i);
        }
        runs_.clear();
        file_.clear();
        spillSize_ = 0;
    }
    arena_.clear();
    records_.clear();
    count_ = 0;
    arrivedInOrder_ = true;
}

}  // namespace jet::write
