#include "Oracles.h"

#include "JsonArray.h"
#include "support/TestData.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace oracle {

namespace {

std::string shellQuote(const std::string &s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool runCapture(const std::string &command, std::string &out)
{
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    const int status = ::pclose(pipe);
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) != 127 && WEXITSTATUS(status) != 1;
}

std::string unquoteName(const std::string &rest)
{
    if (!rest.empty() && rest.front() == '"') {
        auto parsed = parseJsonArray("[" + rest + "]");
        if (parsed && parsed->size() == 1)
            return (*parsed)[0].text;
    }
    return rest;
}

void parseDump(const std::string &text, Dump &dump)
{
    std::istringstream in(text);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.rfind("=== ", 0) == 0) {
            section = line.substr(4);
            if (section.rfind("table ", 0) == 0 || section.rfind("systable ", 0) == 0) {
                const bool system = section[0] == 's';
                const std::string name = unquoteName(section.substr(system ? 9 : 6));
                section = (system ? "systable " : "table ") + name;
                dump.sections[section];
            }
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        if (section == "tables") {
            if (line.rfind("table ", 0) == 0)
                dump.tables.push_back(unquoteName(line.substr(6)));
            else if (line.rfind("linked ", 0) == 0)
                dump.linked.push_back(unquoteName(line.substr(7)));
            continue;
        }
        if (section == "systables") {
            if (line.rfind("systable ", 0) == 0)
                dump.systemTables.push_back(unquoteName(line.substr(9)));
            continue;
        }
        auto found = dump.sections.find(section);
        if (found == dump.sections.end())
            continue;
        TableSection &table = found->second;
        if (line.rfind("row-count ", 0) == 0) {
            table.rowCount = std::stoull(line.substr(10));
        } else if (line.rfind("!error", 0) == 0) {
            table.error = line;
        } else if (line.rfind("column [", 0) == 0) {
            if (auto parsed = parseJsonArray(line.substr(7)); parsed && !parsed->empty())
                table.columnNames.push_back((*parsed)[0].text);
        } else if (table.rowCount && (line[0] == '[' || std::isdigit(static_cast<unsigned char>(line[0])) ||
                                      line[0] == '"' || line[0] == '-' || line[0] == 'N' || line[0] == ',')) {
            table.rowLines.push_back(line);
        }
    }
}

}  // namespace

const Dump &mdbReaderDump(const std::string &path, const std::string &password)
{
    static std::map<std::string, Dump> cache;
    auto [it, inserted] = cache.try_emplace(path + '\0' + password);
    Dump &dump = it->second;
    if (!inserted)
        return dump;
    const char *dir = std::getenv("MDB_READER_DIR");
    const std::string readerDir = dir && *dir ? dir : (testdata::binaryDir() / "oracles").string();
    if (!std::filesystem::exists(std::filesystem::path(readerDir) / "node_modules" / "mdb-reader")) {
        dump.failure = "mdb-reader is not installed in " + readerDir + " (run scripts/setup.sh)";
        return dump;
    }
    std::string command = "MDB_READER_DIR=" + shellQuote(readerDir) + " node " +
                          shellQuote((testdata::oraclesDir() / "dump-mdbreader.mjs").string()) + " " + shellQuote(path);
    if (!password.empty())
        command += " " + shellQuote(password);
    command += " --full-blobs 2>/dev/null";
    std::string out;
    if (!runCapture(command, out)) {
        dump.failure = "node could not run dump-mdbreader.mjs";
        return dump;
    }
    dump.ran = true;
    parseDump(out, dump);
    return dump;
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            out.push_back(line);
    return out;
}

const Dump &mdbtoolsTables(const std::string &path)
{
    static std::map<std::string, Dump> cache;
    auto [it, inserted] = cache.try_emplace(path);
    Dump &dump = it->second;
    if (!inserted)
        return dump;
    if (std::system("command -v mdb-count >/dev/null 2>&1") != 0) {
        dump.failure = "mdbtools is not installed";
        return dump;
    }
    std::string user, linked;
    if (!runCapture("mdb-tables -1 " + shellQuote(path) + " 2>/dev/null", user) ||
        !runCapture("mdb-tables -1 -t linkedtable " + shellQuote(path) + " 2>/dev/null", linked)) {
        dump.failure = "mdb-tables could not run";
        return dump;
    }
    dump.ran = true;
    dump.tables = lines(user);
    dump.linked = lines(linked);
    for (const std::string &table : dump.tables) {
        std::string count;
        if (runCapture("mdb-count " + shellQuote(path) + " " + shellQuote(table) + " 2>/dev/null", count) &&
            !count.empty())
            dump.sections["table " + table].rowCount = std::stoull(count);
        else
            dump.sections["table " + table].error = "!error mdb-count failed";
    }
    return dump;
}

}  // namespace oracle
