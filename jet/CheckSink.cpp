#include "jet/CheckSink.h"

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
    events_.emplace_back(NewOwner{name});
    return kStandIn + owners_++;
}

void RecordingSink::claim(PageNumber page, std::uint32_t owner, const std::string &table)
{
    events_.emplace_back(Claim{page, owner, table});
}

void RecordingSink::playInto(CheckSink &target) const
{
    std::vector<std::uint32_t> owners;
    for (const auto &event : events_) {
        if (const auto *newOwner = std::get_if<NewOwner>(&event))
            owners.push_back(target.ownerId(newOwner->name));
        else if (const auto *claim = std::get_if<Claim>(&event))
            target.claim(claim->page, claim->owner >= kStandIn ? owners.at(claim->owner - kStandIn) : claim->owner,
                         claim->table);
        else if (const auto *finding = std::get_if<Finding>(&event))
            target.add(*finding);
        else
            target.countIndexEntries(std::get<IndexEntries>(event).count);
    }
}

}  // namespace jet
