#include "jet/convert/Jet3Limits.h"

#include "jet/Error.h"

#include <algorithm>
#include "jet/convert/TextTranscode.h"

namespace jet::convert {

namespace {

std::string columnPlace(const std::string &table, const std::string &column)
{
    return "テーブル '" + table + "' の列 '" + column + "'";
}

bool fitsCodePage(const std::string &text, unsigned codePage, char32_t *first = nullptr, std::size_t *length = nullptr)
{
    const std::u16string units = utf8ToUtf16(text);
    std::vector<std::uint8_t> bytes;
    const auto bad = appendJet3Text(units, codePage, bytes);
    if (bad && first) {
        char32_t c = units[*bad];
        if (c >= 0xD800 && c <= 0xDBFF && *bad + 1 < units.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (units[*bad + 1] - 0xDC00);
        *first = c;
    }
    if (length)
        *length = bytes.size();
    return !bad;
}

bool jet3HasType(ColumnType type)
{
    return type >= ColumnType::Boolean && type <= ColumnType::Guid && type != ColumnType::Unknown0D &&
           static_cast<std::uint8_t>(type) != 0x0E;
}

void checkName(const std::string &table, const std::string &what, const std::string &name, unsigned codePage,
               std::vector<Refusal> &out, const std::string &column = "")
{
    if (fitsCodePage(name, codePage))
        return;
    out.push_back({table, column, "テーブル '" + table + "' の" + what + "名 '" + name + "' は Jet 3.x 形式のコード ページ " +
                                      std::to_string(codePage) + " で表せないため、変換できません。"});
}

void checkColumn(const std::string &table, const ColumnDescription &column, unsigned codePage,
                 std::vector<Refusal> &out)
{
    const std::string place = columnPlace(table, column.name);
    if (column.type == ColumnType::Decimal) {
        out.push_back({table, column.name, place + " は十進型 (Decimal) のため、Jet 3.x 形式に変換できません。"});
    } else if (!jet3HasType(column.type)) {
        out.push_back({table, column.name, place + " の型 (" + columnTypeName(column.type) +
                                               ") は Jet 3.x 形式にないため、変換できません。"});
    } else if (column.type == ColumnType::Binary && column.size > kJet3MaxFieldBytes) {
        out.push_back({table, column.name, place + " はバイナリ型で長さ " + std::to_string(column.size) +
                                               " バイトのため、Jet 3.x 形式の上限 255 バイトを超えます。"});
    } else if (column.type == ColumnType::Text && column.size > kJet3MaxFieldBytes) {
        out.push_back({table, column.name, place + " はテキスト型で長さ " + std::to_string(column.size) +
                                               " 文字のため、Jet 3.x 形式の上限 255 を超えます。"});
    }
    checkName(table, "列", column.name, codePage, out, column.name);
}

}  // namespace

std::vector<Refusal> checkJet3Definition(const TableDescription &table, unsigned codePage)
{
    std::vector<Refusal> out;
    if (!fitsCodePage(table.name, codePage))
        out.push_back({table.name, "", "テーブル名 '" + table.name + "' は Jet 3.x 形式のコード ページ " +
                                           std::to_string(codePage) + " で表せないため、変換できません。"});
    for (const ColumnDescription &column : table.columns)
        checkColumn(table.name, column, codePage, out);
    for (const LogicalIndexDescription &index : table.logicalIndexes)
        checkName(table.name, "索引", index.name, codePage, out);
    return out;
}

Jet3ValueCheck::Jet3ValueCheck(const TableDef &jet3Table, unsigned codePage, std::string tableName)
    : def_(jet3Table), codePage_(codePage), tableName_(std::move(tableName)), encoder_(jet3Table, codePage, tableName_),
      badText_(jet3Table.columns.size()), longText_(jet3Table.columns.size()), longValueStubs_(jet3Table.columns.size())
{
    // A long value can always leave the row; its header cannot.
    for (std::size_t i = 0; i < def_.columns.size(); ++i)
        if (def_.columns[i].isLongValue())
            longValueStubs_[i].assign(kLongValueHeaderLength, 0);
}

void Jet3ValueCheck::addRow(const std::vector<Value> &values, RowShape shape)
{
    bool textFits = true;
    for (std::size_t i = 0; i < def_.columns.size() && i < values.size(); ++i) {
        const ColumnType type = def_.columns[i].type;
        if ((type != ColumnType::Text && type != ColumnType::Memo) || values[i].kind != Value::Kind::Text)
            continue;
        char32_t first = 0;
        std::size_t length = 0;
        if (fitsCodePage(values[i].text, codePage_, &first, &length)) {
            if (type == ColumnType::Text && length > kJet3MaxFieldBytes) {
                ++longText_[i];
                textFits = false;
            }
            continue;
        }
        textFits = false;
        if (badText_[i].count++ == 0)
            badText_[i].first = first;
    }
    if (!textFits)
        return;  // its length is not known; the text refusal stands for it
    try {
        encoder_.encode(values, longValueStubs_, shape, row_);
    } catch (const Error &error) {
        if (error.kind() != ErrorKind::Unsupported)
            throw;
        ++longRows_;
        longestRow_ = std::max(longestRow_, row_.size());
    }
}

std::vector<Refusal> Jet3ValueCheck::refusals() const
{
    std::vector<Refusal> out;
    for (std::size_t i = 0; i < badText_.size(); ++i) {
        const std::string &column = def_.columns[i].name;
        if (longText_[i] > 0)
            out.push_back({tableName_, column, columnPlace(tableName_, column) + " の値 " + std::to_string(longText_[i]) +
                                                   " 件が、コード ページ " + std::to_string(codePage_) +
                                                   " で Jet 3.x 形式のテキスト型の上限 255 バイトを超えます。"});
        if (badText_[i].count == 0)
            continue;
        out.push_back({tableName_, column, columnPlace(tableName_, column) + " に、Jet 3.x 形式のコード ページ " +
                                               std::to_string(codePage_) + " で表せない文字があります（" +
                                               std::to_string(badText_[i].count) + " 件、最初は " +
                                               codePointName(badText_[i].first) + "）。"});
    }
    if (longRows_ > 0) {
        const FormatConstants &format = formatConstants(JetVersion::Jet3);
        out.push_back({tableName_, "", "テーブル '" + tableName_ + "' の行 " + std::to_string(longRows_) +
                                           " 件が Jet 3.x 形式の 1 行の上限 " +
                                           std::to_string(format.pageSize - format.dataRowTableOffset - 2) +
                                           " バイトを超えます（最長 " + std::to_string(longestRow_) + " バイト）。"});
    }
    return out;
}

}  // namespace jet::convert
