#include "jet/write/RelocationSpill.h"

#include <algorithm>

namespace jet::write {

namespace {

// Blocks of 64 KiB for a full budget: large enough that the temporary file
// is read and written in long runs, small enough that a stream per
// partition (at most a few dozen at the Jet 4 file limit) costs little.
// Smaller budgets take smaller blocks. Even, so a pair never spans two.
std::size_t blockValuesFor(std::size_t slotsPerPartition)
{
    return std::clamp<std::size_t>(slotsPerPartition / 16, 256, 16384) & ~std::size_t(1);
}

}  // namespace

RelocationPartitions::RelocationPartitions(const std::string &folder, std::size_t slotsPerPartition)
    : slotsPerPartition_(std::max<std::size_t>(slotsPerPartition, 1)),
      blockValues_(blockValuesFor(slotsPerPartition_)),
      pairs_(folder, blockValues_)
{
}

void RelocationPartitions::finish()
{
    pairs_.finish();
    finished_ = true;
}

void RelocationPartitions::load(std::size_t partition, std::vector<std::uint32_t> &values)
{
    values.assign(slotsPerPartition_, kNoNewRow);
    pairs_.visitBlocks(partition, false, [&](std::uint32_t *pairs, std::size_t count) {
        for (std::size_t i = 0; i + 1 < count; i += 2)
            values[pairs[i]] = pairs[i + 1];  // below slotsPerPartition_: written so by record
    });
}

RelocationPass::RelocationPass(RelocationPartitions &partitions, const std::string &folder)
    : partitions_(partitions), slots_(folder, partitions.blockValues())
{
    slots_.reserveStreams(partitions.partitions());
}

std::optional<RelocationPass::Fault> RelocationPass::resolve()
{
    slots_.finish();
    std::vector<std::uint32_t> values;  // one partition's at a time: the budget
    for (std::size_t p = 0; p < slots_.streams(); ++p) {
        if (slots_.count(p) == 0)
            continue;
        if (const auto fault = resolvePartition(p, values))
            return fault;
    }
    values = {};
    readers_.reserve(slots_.streams());
    for (std::size_t p = 0; p < slots_.streams(); ++p)
        readers_.emplace_back(slots_, p);
    return std::nullopt;
}

std::optional<RelocationPass::Fault> RelocationPass::resolvePartition(std::size_t partition,
                                                                      std::vector<std::uint32_t> &values)
{
    if (partition < partitions_.partitions())
        partitions_.load(partition, values);
    else
        values.assign(partitions_.slotsPerPartition(), kNoNewRow);
    std::optional<Fault> fault;
    const std::size_t first = partition * partitions_.slotsPerPartition();
    slots_.visitBlocks(partition, true, [&](std::uint32_t *slots, std::size_t count) {
        for (std::size_t i = 0; i < count && !fault; ++i) {
            std::uint32_t &value = values[slots[i]];  // below slotsPerPartition: written so by note
            if ((value & ~kClaimedBit) == kNoNewRow)
                fault = Fault{first + slots[i], false};
            else if (value & kClaimedBit)
                fault = Fault{first + slots[i], true};
            slots[i] = value;
            value |= kClaimedBit;
        }
    });
    return fault;
}

}  // namespace jet::write
