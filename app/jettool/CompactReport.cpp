#include "app/jettool/CompactReport.h"
#include "app/jettool/Json.h"

#include "app/ByteSize.h"

#include <cstdio>
#include <vector>

namespace jettool {

namespace {

std::string percentText(std::uint64_t before, std::uint64_t after)
{
    char text[32];
    const double percent = PercentSaved(before, after);
    std::snprintf(text, sizeof text, percent < 0 ? "%.1f%% 増加" : "%.1f%% 削減", percent < 0 ? -percent : percent);
    return text;
}

std::string sizesText(std::uint64_t before, std::uint64_t after)
{
    return std::to_string(before) + " -> " + std::to_string(after) + " バイト (" + ReadableByteSize(before) + " -> " +
           ReadableByteSize(after) + ", " + percentText(before, after) + ")";
}

// A notice is one sentence; a line break in it would pass for another file's line.
std::string oneLine(std::string text)
{
    for (char &c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

std::string jsonList(const std::vector<std::string> &items)
{
    std::string list = "[";
    for (const std::string &item : items)
        list += (list.size() > 1 ? "," : "") + jsonString(item);
    return list + "]";
}

}  // namespace

void printCompactLine(const CompactOutcome &outcome, std::ostream &out, std::ostream &err)
{
    if (outcome.error) {
        out << "失敗: " << outcome.file << ": " << *outcome.error << "\n";
        err << "tessivar-jet: " << *outcome.error << "\n";
        return;
    }
    out << "最適化しました: " << outcome.file;
    if (outcome.target != outcome.file)
        out << " -> " << outcome.target;
    out << ": " << sizesText(outcome.result.sourceBytes, outcome.result.targetBytes);
    if (outcome.backup)
        out << ", 元のファイル " << *outcome.backup;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, ", %.2f 秒\n", outcome.seconds);
    out << seconds;
    for (const std::string &notice : outcome.result.notices)
        out << "注意: " << outcome.file << ": " << oneLine(notice) << "\n";
}

void printCompactJson(const CompactOutcome &outcome, std::ostream &out)
{
    out << "{\"file\":" << jsonString(outcome.file) << ",\"ok\":" << (outcome.error ? "false" : "true");
    if (outcome.error) {
        out << ",\"error\":" << jsonString(*outcome.error) << "}\n";
        return;
    }
    const jet::CompactResult &r = outcome.result;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", outcome.seconds);
    out << ",\"target\":" << jsonString(outcome.target)
        << ",\"backup\":" << (outcome.backup ? jsonString(*outcome.backup) : std::string("null"))
        << ",\"sourceBytes\":" << r.sourceBytes << ",\"targetBytes\":" << r.targetBytes
        << ",\"userTables\":" << r.userTables << ",\"userRows\":" << r.userRows << ",\"tables\":" << r.tables
        << ",\"rows\":" << r.rows << ",\"notices\":" << jsonList(r.notices) << ",\"seconds\":" << seconds << "}\n";
}

void printCompactTotal(std::size_t done, std::size_t failed, std::uint64_t before, std::uint64_t after,
                       std::ostream &out)
{
    out << "合計: " << done << " ファイルを最適化";
    if (failed)
        out << ", " << failed << " ファイルは失敗";
    out << ": " << sizesText(before, after) << "\n";
}

}  // namespace jettool
