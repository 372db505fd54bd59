#include "platform/VersionInfo.h"

#include "platform/ElfSection.h"
#include "platform/VersionBlock.h"

#include <QStringList>

#include <optional>

namespace {

// A node's total length is a 16-bit number, so no block can be larger.
constexpr std::uint64_t kMaxBlockSize = 0xFFFF;
constexpr qsizetype kNodeHeaderSize = 6;

struct Node {
    qsizetype End = 0;  // one past the node's last byte
    std::uint16_t ValueLength = 0;
    std::uint16_t Type = 0;
    QString Key;
    qsizetype ValueOffset = 0;
    qsizetype ValueBytes = 0;
    qsizetype ChildrenOffset = 0;
};

std::uint16_t Word(const QByteArray &block, qsizetype offset)
{
    return std::uint16_t(std::uint8_t(block[offset]) | std::uint8_t(block[offset + 1]) << 8);
}

qsizetype Aligned(qsizetype offset)
{
    return (offset + 3) & ~qsizetype(3);
}

// Reads the key after the header; nothing unless it ends before `end`.
std::optional<qsizetype> ReadKey(const QByteArray &block, qsizetype offset, qsizetype end, QString &key)
{
    for (; offset + 2 <= end; offset += 2) {
        const char16_t c = Word(block, offset);
        if (c == 0)
            return offset + 2;
        key.append(QChar(c));
    }
    return std::nullopt;
}

// The node at `offset`, which must lie wholly within [offset, limit).
std::optional<Node> ReadNode(const QByteArray &block, qsizetype offset, qsizetype limit)
{
    if (offset + kNodeHeaderSize > limit)
        return std::nullopt;
    const qsizetype length = Word(block, offset);
    if (length < kNodeHeaderSize || offset + length > limit)
        return std::nullopt;
    Node node;
    node.End = offset + length;
    node.ValueLength = Word(block, offset + 2);
    node.Type = Word(block, offset + 4);
    const auto afterKey = ReadKey(block, offset + kNodeHeaderSize, node.End, node.Key);
    if (!afterKey)
        return std::nullopt;
    node.ValueOffset = Aligned(*afterKey);
    node.ValueBytes = node.Type == versionblock::kTypeText ? qsizetype(node.ValueLength) * 2 : node.ValueLength;
    if (node.ValueOffset + node.ValueBytes > node.End)
        return std::nullopt;
    node.ChildrenOffset = Aligned(node.ValueOffset + node.ValueBytes);
    return node;
}

std::optional<Node> FindChild(const QByteArray &block, const Node &parent, const QString &key)
{
    for (qsizetype offset = parent.ChildrenOffset; offset < parent.End;) {
        const auto child = ReadNode(block, offset, parent.End);
        if (!child)
            return std::nullopt;
        if (child->Key.compare(key, Qt::CaseInsensitive) == 0)
            return child;
        offset = Aligned(child->End);
    }
    return std::nullopt;
}

}  // namespace

std::uint32_t GetFileVersionInfoSizeW(const QString &fileName)
{
    const auto place = FindElfSection(fileName, kVersionSectionName);
    if (!place || place->Size > kMaxBlockSize)
        return 0;
    return std::uint32_t(place->Size);
}

bool GetFileVersionInfoW(const QString &fileName, std::uint32_t length, QByteArray &data)
{
    data.clear();
    const auto bytes = ReadElfSection(fileName, kVersionSectionName, kMaxBlockSize);
    if (!bytes)
        return false;
    data = bytes->left(length);
    return true;
}

bool VerQueryValueW(const QByteArray &block, const QString &subBlock, QByteArrayView &value,
                    std::uint32_t &length)
{
    value = QByteArrayView();
    length = 0;
    auto node = ReadNode(block, 0, block.size());
    for (const QString &key : subBlock.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (!node)
            return false;
        node = FindChild(block, *node, key);
    }
    if (!node)
        return false;
    value = QByteArrayView(block.constData() + node->ValueOffset, node->ValueBytes);
    length = node->ValueLength;
    return true;
}
