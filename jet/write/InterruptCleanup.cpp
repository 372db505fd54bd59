#include "jet/write/InterruptCleanup.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace jet::write {

namespace {

// A signal handler may not allocate or lock, so the paths live in fixed
// slots; a slot's state says whether its path may be read.
enum SlotState : int { kFree, kFilling, kReady };

struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};

constexpr int kSlots = 8;
Slot slots[kSlots];
std::atomic<int> running{0};

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free atomics");

}  // namespace

RegisteredTemporaryFile::RegisteredTemporaryFile(const std::string &path) noexcept
{
    if (path.size() >= PATH_MAX)
        return;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (slots[i].state.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            slots[i].state.store(kReady);
            slot_ = i;
            return;
        }
    }
}

void RegisteredTemporaryFile::release() noexcept
{
    if (slot_ >= 0)
        slots[slot_].state.store(kFree);
    slot_ = -1;
}

void removeRegisteredTemporaryFiles() noexcept
{
    for (Slot &slot : slots) {
        if (slot.state.load() == kReady)
            ::unlink(slot.path);
    }
}

CompactionInProgress::CompactionInProgress() noexcept { running.fetch_add(1); }

CompactionInProgress::~CompactionInProgress() { running.fetch_sub(1); }

bool compactionInProgress() noexcept { return running.load() > 0; }

}  // namespace jet::write
