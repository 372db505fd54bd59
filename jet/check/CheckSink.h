// Where the parts of the consistency check put what they find and which pages
// they claim. The checker itself keeps the page owners and the report; a part
// that runs on another thread writes into a recording instead, which is played
// into the checker afterwards in a fixed order, so that the report does not
// depend on how the threads ran.
#pragma once

#include "jet/Error.h"
#include "jet/UsageMap.h"
#include "jet/check/Finding.h"

#include <vector>

namespace jet {

class CheckSink {
public:
    virtual ~CheckSink() = default;

    virtual std::uint32_t ownerId(const std::string &name) = 0;
    // §check.pages: every page has exactly one owner.
    virtual void claim(PageNumber page, std::uint32_t owner, const std::string &table) = 0;
    virtual void add(Finding finding) = 0;
    virtual void countIndexEntries(std::uint64_t entries) = 0;

    void problem(const std::string &table, std::optional<PageNumber> page, std::optional<std::size_t> offset,
                 const std::string &message)
    {
        add({Finding::Severity::Problem, table, page, offset, message});
    }
    void note(const std::string &table, std::optional<PageNumber> page, const std::string &message)
    {
        add({Finding::Severity::Note, table, page, std::nullopt, message});
    }

    // Runs `step`; damage it throws becomes a finding and the check goes on.
    template <typename Step>
    bool guarded(const std::string &table, Step step)
    {
        try {
            step();
            return true;
        } catch (const Error &error) {
            add({error.kind() == ErrorKind::Unsupported ? Finding::Severity::Unsupported : Finding::Severity::Problem,
                 table, std::nullopt, std::nullopt, error.what()});
            return false;
        }
    }
};

// Reads the usage map at `location` and claims its pages: the map's own row
// and bitmap pages for `mapHolder`, the pages it lists for `owner`. A null
// reference means "no map" (seen for free-space maps of tables that never
// had one).
UsageMap readClaimedMap(const PageFile &file, CheckSink &sink, std::uint32_t mapHolder, RowId location,
                        const std::string &what, std::uint32_t owner, const std::string &table);

// A sink that keeps everything in order for playing back later. Owner ids it
// hands out stand for the ids the target gives when the recording is played.
// An index of a large table claims tens of thousands of pages, so an event
// is kept in a few bytes.
class RecordingSink : public CheckSink {
public:
    std::uint32_t ownerId(const std::string &name) override;
    void claim(PageNumber page, std::uint32_t owner, const std::string &table) override;
    void add(Finding finding) override;
    void countIndexEntries(std::uint64_t entries) override;

    void playInto(CheckSink &target) const;

private:
    static constexpr std::uint32_t kStandIn = 0x80000000u;
    struct Event {
        enum class Kind : std::uint8_t { NewOwner, Claim, Finding, IndexEntries } kind;
        std::uint32_t a = 0;  // owner name, page, finding or entry count (low half)
        std::uint32_t b = 0;  // claim: owner; entry count: high half
        std::uint32_t c = 0;  // claim: table name
    };
    std::uint32_t tableIndex(const std::string &table);

    std::vector<Event> events_;
    std::vector<std::string> names_;    // of new owners
    std::vector<std::string> tables_;   // names claims were made for
    std::vector<Finding> findings_;
};

}  // namespace jet
