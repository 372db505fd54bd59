#include "jet/check/CheckSink.h"

namespace jet {

UsageMap readClaimedMap(const PageFile &file, CheckSink &sink, std::uint32_t mapHolder, RowId location,
                        const std::string &what, std::uint32_t owner, const std::string &table)
{
    if (location.isNull())
        return {};
    UsageMap map = readUsageMap(file, location, what);
    sink.claim(location.page, mapHolder, table);
    if (map.bitsPastEnd > 0)
        sink.problem(table, location.page, std::nullopt,
                     what + "（" + location.describe() + "）に、ファイルの終わりを越えるページが " +
                         std::to_string(map.bitsPastEnd) + " ページ登録されています。");
    for (PageNumber page : map.bitmapPages)
        if (page != 0)
            sink.claim(page, mapHolder, table);
    for (PageNumber page : map.pages)
        sink.claim(page, owner, table);
    return map;
}

std::uint32_t RecordingSink::ownerId(const std::string &name)
{
    names_.push_back(name);
    const auto index = static_cast<std::uint32_t>(names_.size() - 1);
    events_.push_back({Event::Kind::NewOwner, index});
    return kStandIn + index;
}

void RecordingSink::claim(PageNumber page, std::uint32_t owner, const std::string &table)
{
    events_.push_back({Event::Kind::Claim, page, owner, tableIndex(table)});
}

void RecordingSink::add(Finding finding)
{
    findings_.push_back(std::move(finding));
    events_.push_back({Event::Kind::Finding, static_cast<std::uint32_t>(findings_.size() - 1)});
}

void RecordingSink::countIndexEntries(std::uint64_t entries)
{
    events_.push_back({Event::Kind::IndexEntries, static_cast<std::uint32_t>(entries),
                       static_cast<std::uint32_t>(entries >> 32)});
}

std::uint32_t RecordingSink::tableIndex(const std::string &table)
{
    // Claims come table by table: the name is nearly always the last one.
    if (tables_.empty() || tables_.back() != table)
        tables_.push_back(table);
    return static_cast<std::uint32_t>(tables_.size() - 1);
}

void RecordingSink::playInto(CheckSink &target) const
{
    std::vector<std::uint32_t> owners;
    for (const Event &event : events_) {
        switch (event.kind) {
        case Event::Kind::NewOwner:
            owners.push_back(target.ownerId(names_[event.a]));
            break;
        case Event::Kind::Claim:
            target.claim(event.a, event.b >= kStandIn ? owners.at(event.b - kStandIn) : event.b, tables_[event.c]);
            break;
        case Event::Kind::Finding:
            target.add(findings_[event.a]);
            break;
        case Event::Kind::IndexEntries:
            target.countIndexEntries(event.a | std::uint64_t{event.b} << 32);
            break;
        }
    }
}

}  // namespace jet
