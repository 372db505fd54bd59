// Damage sweep: single-page faults on copies of the test databases, each
// compacted (or, with --convert, converted into the other format) once. Every case must end either in a failure with a message and
// no file left beside the damaged copy, or in a copy whose every user table
// holds the live rows of the undamaged file. Anything else is a silent loss
// (rows missing or extra in a "successful" copy) or a leftover file, and is
// listed. Faults: every page zeroed; on each data page of a user table its
// type byte changed, its owner changed and its usage-map bit cleared.
// Faithful copies of a source the checker finds damaged must report repairs;
// those that do not are listed as UNREPORTED.
//
// A converted copy stores its rows in other bytes, so with --convert the user
// tables are compared by the reader's decoded values (text as UTF-8): each
// table's rows as a multiset of fingerprints, columns matched by name.
//
//   build/bench/damage_sweep [--convert] [FILE...]   (default: the unencoded Jet 3 / Jet 4
//                                         files without a password in
//                                         $TESSIVAR_SHARED_DIR/testdata or ../shared/testdata)
#include "jet/Compact.h"
#include "jet/DataPage.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/RowDecoder.h"
#include "jet/UsageMap.h"
#include "jet/check/Checker.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using RowCounts = std::map<std::string, std::uint64_t>;
// Per user table: the sorted fingerprints of its rows' values.
using TableValues = std::map<std::string, std::vector<std::uint64_t>>;

fs::path testDataDir()
{
    const char *shared = std::getenv("TESSIVAR_SHARED_DIR");
    return fs::path(shared ? shared : "../shared") / "testdata";
}

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path &path, const std::string &bytes) { std::ofstream(path, std::ios::binary) << bytes; }

RowCounts userTableRows(const jet::Database &db)
{
    RowCounts rows;
    for (const jet::TableEntry &entry : db.catalog().tables)
        if (entry.kind == jet::TableKind::User)
            rows[entry.name] = db.countRows(db.tableDef(entry), entry.name);
    return rows;
}

// One value as kind and payload: the same in Jet 3 and Jet 4 for what a
// faithful conversion keeps.
void appendValue(std::string &out, const jet::Value &v)
{
    out += static_cast<char>(v.kind);
    switch (v.kind) {
    case jet::Value::Kind::Null:
        break;
    case jet::Value::Kind::Boolean:
        out += v.boolean ? '1' : '0';
        break;
    case jet::Value::Kind::Integer:
    case jet::Value::Kind::Currency:
        out += std::to_string(v.integer);
        break;
    case jet::Value::Kind::Float:
    case jet::Value::Kind::DateTime:
        out.append(reinterpret_cast<const char *>(&v.real), sizeof v.real);
        break;
    case jet::Value::Kind::Text:
    case jet::Value::Kind::Decimal:
        out += v.text;
        break;
    case jet::Value::Kind::Binary:
    case jet::Value::Kind::Guid:
        out.append(v.bytes.begin(), v.bytes.end());
        break;
    }
    out += '\x1f';
}

TableValues userTableValues(const jet::Database &db)
{
    TableValues tables;
    std::vector<jet::Value> values;
    for (const jet::TableEntry &entry : db.catalog().tables) {
        if (entry.kind != jet::TableKind::User)
            continue;
        const jet::TableDef def = db.tableDef(entry);
        std::vector<std::size_t> byName(def.columns.size());
        for (std::size_t i = 0; i < byName.size(); ++i)
            byName[i] = i;
        std::sort(byName.begin(), byName.end(),
                  [&](std::size_t a, std::size_t b) { return def.columns[a].name < def.columns[b].name; });
        std::vector<std::uint64_t> &rows = tables[entry.name];
        db.forEachRow(def, entry.name, [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
            decoder.values(values, where);
            std::string row;
            for (std::size_t i : byName) {
                row += def.columns[i].name;
                row += '=';
                appendValue(row, values[i]);
            }
            rows.push_back(std::hash<std::string>{}(row));
        });
        std::sort(rows.begin(), rows.end());
    }
    return tables;
}

// Files the sweep can judge: they open without a password, are not
// RC4-encoded (the faults are written into raw bytes) and read cleanly.
std::vector<fs::path> defaultFiles()
{
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(testDataDir())) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".mdb" && ext != ".MDB")
            continue;
        try {
            const auto db = jet::Database::open(entry.path().string(), "");
            userTableRows(*db);
            if (!db->header().encoded())
                files.push_back(entry.path());
        } catch (const jet::Error &) {
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct Fault {
    std::string what;
    std::function<void(std::string &)> apply;
};

std::vector<Fault> faultsOf(const jet::Database &db)
{
    const jet::PageFile &file = db.file();
    const std::size_t size = file.pageSize();
    std::vector<Fault> faults;
    for (jet::PageNumber page = 1; page < file.pageCount(); ++page)
        faults.push_back({"page " + std::to_string(page) + " zeroed",
                          [=](std::string &b) { std::fill_n(b.begin() + page * size, size, '\0'); }});
    for (const jet::TableEntry &entry : db.catalog().tables) {
        if (entry.kind != jet::TableKind::User)
            continue;
        const jet::TableDef def = db.tableDef(entry);
        const jet::UsageMap owned = jet::readUsageMap(file, def.ownedPages, entry.name);
        for (jet::PageNumber page : owned.pages) {
            const std::size_t at = page * size;
            const std::string where = "table " + entry.name + " page " + std::to_string(page);
            faults.push_back({where + " type", [=](std::string &b) { b[at] = 0x04; }});
            faults.push_back({where + " owner", [=](std::string &b) { b[at + 4] ^= 0x01; }});
            std::size_t byte = 0;
            unsigned bit = 0;
            if (owned.kind == jet::UsageMap::Kind::Inline) {
                jet::PageHandle keep;
                const jet::ByteSpan row = jet::readRow(file, owned.location, keep, entry.name);
                byte = owned.location.page * size + static_cast<std::size_t>(row.data() - keep->bytes.data()) + 5 +
                       (page - owned.start) / 8;
                bit = (page - owned.start) % 8;
            } else {
                const std::size_t perBitmap = (size - 4) * 8;
                byte = owned.bitmapPages.at(page / perBitmap) * size + 4 + (page % perBitmap) / 8;
                bit = (page % perBitmap) % 8;
            }
            faults.push_back({where + " map bit", [=](std::string &b) { b[byte] = static_cast<char>(b[byte] & ~(1 << bit)); }});
        }
    }
    return faults;
}

struct Tally {
    std::uint64_t cases = 0, failures = 0, faithful = 0, losses = 0, leftovers = 0, unclear = 0;
    std::uint64_t faithfulDamaged = 0, unreported = 0;  // faithful copies of a source the checker finds damaged
    std::uint64_t overreported = 0;                     // repairs reported where the checker finds nothing
    std::uint64_t skipped = 0;                          // files whose undamaged conversion is refused
};

// What a copy must hold: row counts for a compaction, values for a conversion.
struct Expected {
    bool convert = false;
    RowCounts rows;
    TableValues values;

    bool heldBy(const jet::Database &copy) const
    {
        return convert ? userTableValues(copy) == values : userTableRows(copy) == rows;
    }
};

// A file whose undamaged conversion is refused (or not faithful) cannot be
// judged by its damaged copies; it is named and left out.
bool convertsWhole(const fs::path &original, const fs::path &target, int engine, const Expected &expected)
{
    jet::CompactRequest request;
    request.sourcePath = original.string();
    request.targetPath = target.string();
    request.engineType = engine;
    bool held = false;
    try {
        jet::compactDatabase(request);
        held = expected.heldBy(*jet::Database::open(target.string(), ""));
        if (!held)
            std::printf("SKIPPED      %s: the undamaged copy differs\n", original.filename().c_str());
    } catch (const jet::Error &e) {
        std::printf("SKIPPED      %s: %s\n", original.filename().c_str(), e.what());
    }
    fs::remove(target);
    return held;
}

void sweepFile(const fs::path &original, const fs::path &scratch, bool convert, Tally &tally)
{
    const auto db = jet::Database::open(original.string(), "");
    Expected expected{convert, userTableRows(*db), convert ? userTableValues(*db) : TableValues{}};
    const bool jet3 = db->header().version == jet::JetVersion::Jet3;
    const int engine = jet3 != convert ? 4 : 5;
    const std::string pristine = readAll(original);
    const fs::path damaged = scratch / "damaged.mdb", target = scratch / "out.mdb";
    if (convert && !convertsWhole(original, target, engine, expected)) {
        ++tally.skipped;
        return;
    }
    for (const Fault &fault : faultsOf(*db)) {
        ++tally.cases;
        std::string bytes = pristine;
        fault.apply(bytes);
        writeAll(damaged, bytes);
        jet::CompactRequest request;
        request.sourcePath = damaged.string();
        request.targetPath = target.string();
        request.engineType = engine;
        const std::string label = original.filename().string() + ": " + fault.what;
        try {
            const jet::CompactResult result = jet::compactDatabase(request);
            bool held = false;
            try {
                held = expected.heldBy(*jet::Database::open(target.string(), ""));
            } catch (const jet::Error &) {
            }
            if (held) {
                ++tally.faithful;
                if (!jet::checkFile(damaged.string(), "").clean()) {
                    ++tally.faithfulDamaged;
                    if (result.repairs == 0) {
                        ++tally.unreported;
                        std::printf("UNREPORTED   %s\n", label.c_str());
                    }
                } else if (result.repairs > 0) {
                    ++tally.overreported;
                }
            } else {
                ++tally.losses;
                std::printf("SILENT LOSS  %s\n", label.c_str());
            }
        } catch (const jet::Error &e) {
            if (std::string(e.what()).size() < 20) {
                ++tally.unclear;
                std::printf("UNCLEAR      %s: %s\n", label.c_str(), e.what());
            }
            ++tally.failures;
        }
        fs::remove(target);
        fs::remove(damaged);
        if (!fs::is_empty(scratch)) {
            ++tally.leftovers;
            std::printf("LEFTOVER     %s\n", label.c_str());
            for (const auto &entry : fs::directory_iterator(scratch))
                fs::remove_all(entry.path());
        }
    }
}

}  // namespace

int main(int argc, char **argv)
{
    std::vector<fs::path> files;
    bool convert = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--convert")
            convert = true;
        else
            files.emplace_back(argv[i]);
    }
    if (files.empty())
        files = defaultFiles();
    const fs::path scratch = fs::temp_directory_path() / ("tessivar-damage-sweep-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    Tally tally;
    for (const fs::path &file : files)
        sweepFile(file, scratch, convert, tally);
    fs::remove_all(scratch);
    const auto n = [](std::uint64_t v) { return static_cast<unsigned long long>(v); };
    std::printf("files %zu (left out: undamaged conversion refused %llu), cases %llu: failed with a message %llu (unclear %llu), faithful copies %llu "
                "(source found damaged by the checker %llu, of them repairs not reported %llu; repairs reported on a "
                "source the checker finds clean %llu), "
                "silent losses %llu, files left behind %llu\n",
                files.size(), n(tally.skipped), n(tally.cases), n(tally.failures), n(tally.unclear), n(tally.faithful),
                n(tally.faithfulDamaged), n(tally.unreported), n(tally.overreported), n(tally.losses), n(tally.leftovers));
    return tally.losses == 0 && tally.leftovers == 0 ? 0 : 1;
}
