// info: the header facts, then one tab-separated line per table.
#include "app/jettool/Commands.h"

#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/UsageMap.h"

#include <cstdio>
#include <iostream>

namespace jettool {

namespace {

const char *formatName(jet::JetVersion version) { return version == jet::JetVersion::Jet3 ? "Jet3" : "Jet4"; }

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

}  // namespace

int runInfo(const Options &options, std::ostream &out)
{
    const auto db = jet::Database::open(options.path, options.password);
    const jet::PageFile &file = db->file();
    const jet::DatabaseHeader &header = db->header();
    out << "format\t" << formatName(header.version) << "\n";
    out << "page-size\t" << header.pageSize << "\n";
    out << "page-count\t" << file.pageCount() << "\n";
    out << "code-page\t" << header.codePage << "\n";
    out << "sort-order\t" << hex4(header.sortOrder) << "\n";
    out << "encoded\t" << (header.encoded() ? "yes" : "no") << "\n";
    out << "password\t" << (header.hasPassword() ? "yes" : "no") << "\n";
    if (header.creationDate)
        out << "created\t" << jet::formatDateTime(*header.creationDate) << "\n";
    out << "free-pages\t" << jet::readGlobalUsageMap(file).pages.size() << "\n";
    // A damaged table gets "-" for its rows and a message on stderr; the others are still listed.
    int status = 0;
    for (const jet::TableEntry &table : db->catalog().tables) {
        std::uint64_t rows = 0;
        bool damaged = false;
        try {
            if (table.isLocal())
                rows = db->countRows(db->tableDef(table), table.name);
        } catch (const jet::Error &error) {
            damaged = true;
            std::cerr << "tessivar-jet: " << error.what() << "\n";
            status = 1;
        }
        out << (table.kind == jet::TableKind::System ? "system-table" : "table") << "\t" << table.name << "\t"
            << (damaged ? std::string("-") : std::to_string(rows)) << "\n";
    }
    return status;
}


}  // namespace jettool
