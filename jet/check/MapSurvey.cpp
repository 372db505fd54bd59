#include "jet/check/MapSurvey.h"

#include "jet/Error.h"
#include "jet/UsageMap.h"

#include <set>
#include <vector>

namespace jet {

namespace {

class MapSurvey {
public:
    explicit MapSurvey(const Database &db) : db_(db), file_(db.file()), owner_(file_.pageCount(), kNone)
    {
        claim(0, kHeader);
        claim(1, kMapHolder);
    }

    std::uint32_t run()
    {
        if (file_.hasPartialLastPage())
            ++faults_;
        std::set<PageNumber> seen;
        for (const TableEntry &entry : db_.catalog().tables)
            if (entry.kind != TableKind::Linked && entry.definitionPage != 0 && seen.insert(entry.definitionPage).second)
                surveyTable(db_.tableDef(entry));
        surveyGlobalMap();
        return faults_;
    }

private:
    static constexpr std::uint32_t kNone = 0, kHeader = 1, kMapHolder = 2;

    void surveyTable(const TableDef &def)
    {
        const std::uint32_t definition = nextOwner_++;
        for (PageNumber page : def.pages)
            claim(page, definition);
        const std::optional<UsageMap> owned = readMap(def.ownedPages, nextOwner_++);
        if (const std::optional<UsageMap> free = readMap(def.freePages, kNone); free && owned)
            for (PageNumber page : free->pages)
                if (!owned->contains(page)) {
                    ++faults_;
                    break;
                }
        for (const LongValueMaps &maps : def.longValueMaps) {
            const std::uint32_t column = nextOwner_++;
            readMap(maps.ownedPages, column);
            readMap(maps.freePages, column);
        }
        for (const RealIndexDef &index : def.realIndexes)
            readMap(index.usageMap, nextOwner_++);
    }

    // A map whose pages the copy reads (a table's data pages) fails the copy
    // itself when it is unreadable; every other map is only replaced.
    std::optional<UsageMap> readMap(RowId location, std::uint32_t owner)
    {
        if (location.isNull())
            return std::nullopt;
        UsageMap map;
        try {
            map = readUsageMap(file_, location, "");
        } catch (const Error &) {
            ++faults_;
            return std::nullopt;
        }
        claim(location.page, kMapHolder);
        for (PageNumber page : map.bitmapPages)
            if (page != 0)
                claim(page, kMapHolder);
        if (map.bitsPastEnd > 0)
            ++faults_;
        if (owner != kNone)
            for (PageNumber page : map.pages)
                claim(page, owner);
        return map;
    }

    void claim(PageNumber page, std::uint32_t owner)
    {
        if (page >= owner_.size())
            return;
        if (owner_[page] == kNone || owner_[page] == owner)
            owner_[page] = owner;
        else
            ++faults_;
    }

    void surveyGlobalMap()
    {
        UsageMap global;
        try {
            global = readGlobalUsageMap(file_);
        } catch (const Error &) {
            ++faults_;
            return;
        }
        for (PageNumber page : global.pages)
            if (owner_[page] != kNone)
                ++faults_;
    }

    const Database &db_;
    const PageFile &file_;
    std::vector<std::uint32_t> owner_;
    std::uint32_t nextOwner_ = kMapHolder + 1;
    std::uint32_t faults_ = 0;
};

}  // namespace

std::uint32_t countMapFaultsRepairedByCopy(const Database &db) { return MapSurvey(db).run(); }

}  // namespace jet
