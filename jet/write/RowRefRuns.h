// New RowRefs in the order a copy wrote them, kept as runs of consecutive
// values: rows placed one after another on a data page have RowRefs one
// apart, so a table's rows take about one run per data page written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jet::write {

class RowRefRuns {
public:
    void append(std::uint32_t ref);
    std::uint32_t count() const { return count_; }
    // Ends the appending and makes refAt() possible.
    void index();
    // The RowRef appended as number `ordinal` (from 0); after index().
    std::uint32_t refAt(std::uint32_t ordinal) const;
    std::size_t bytes() const;

    // The RowRefs from the first on, one by one.
    class Cursor {
    public:
        explicit Cursor(const RowRefRuns &runs) : runs_(runs) {}
        bool next(std::uint32_t &ref);

    private:
        const RowRefRuns &runs_;
        std::size_t run_ = 0;
        std::uint32_t ordinal_ = 0;
    };

private:
    static constexpr unsigned kOrdinalsPerStep = 256;

    struct Run {
        std::uint32_t ordinal;  // of the run's first RowRef
        std::uint32_t first;    // that RowRef; the run's others follow one by one
    };
    // The run holding `ordinal`, searching on from run `from`.
    std::size_t runFrom(std::size_t from, std::uint32_t ordinal) const;

    std::vector<Run> runs_;
    std::vector<std::uint32_t> runAtStep_;  // the run holding each 256th ordinal
    std::uint32_t count_ = 0;
};

}  // namespace jet::write
