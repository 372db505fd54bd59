#include "jet/write/RowRefRuns.h"

namespace jet::write {

void RowRefRuns::append(std::uint32_t ref)
{
    if (runs_.empty() || runs_.back().first + (count_ - runs_.back().ordinal) != ref)
        runs_.push_back({count_, ref});
    ++count_;
}

std::size_t RowRefRuns::runFrom(std::size_t from, std::uint32_t ordinal) const
{
    while (from + 1 < runs_.size() && runs_[from + 1].ordinal <= ordinal)
        ++from;
    return from;
}

void RowRefRuns::index()
{
    runs_.shrink_to_fit();
    runAtStep_.resize((count_ + kOrdinalsPerStep - 1) / kOrdinalsPerStep);
    std::size_t run = 0;
    for (std::size_t step = 0; step < runAtStep_.size(); ++step) {
        run = runFrom(run, static_cast<std::uint32_t>(step * kOrdinalsPerStep));
        runAtStep_[step] = static_cast<std::uint32_t>(run);
    }
}

std::uint32_t RowRefRuns::refAt(std::uint32_t ordinal) const
{
    const Run &run = runs_[runFrom(runAtStep_[ordinal / kOrdinalsPerStep], ordinal)];
    return run.first + (ordinal - run.ordinal);
}

std::size_t RowRefRuns::bytes() const
{
    return runs_.size() * sizeof(Run) + runAtStep_.size() * sizeof(std::uint32_t);
}

bool RowRefRuns::Cursor::next(std::uint32_t &ref)
{
    if (ordinal_ >= runs_.count_)
        return false;
    run_ = runs_.runFrom(run_, ordinal_);
    const Run &run = runs_.runs_[run_];
    ref = run.first + (ordinal_++ - run.ordinal);
    return true;
}

}  // namespace jet::write
