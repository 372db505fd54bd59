#include "platform/ElfSection.h"

#include <QFile>

#include <bit>
#include <cstring>
#include <elf.h>
#include <vector>

namespace {

// A section header reduced to what the search needs, for both ELF classes.
struct SectionHeader {
    std::uint32_t Name = 0;
    std::uint32_t Type = 0;
    std::uint64_t Offset = 0;
    std::uint64_t Size = 0;
    std::uint32_t Link = 0;
};

struct TableShape {
    std::uint64_t Offset = 0;     // of the section header table
    std::uint64_t EntrySize = 0;
    std::uint64_t Count = 0;
    std::uint64_t NamesIndex = 0;  // of the section that holds the names
};

// Holds more sections than any real program has; a larger count is damage.
constexpr std::uint64_t kMaxSections = 0x10000;

bool Fits(std::uint64_t offset, std::uint64_t size, std::uint64_t limit)
{
    return offset <= limit && size <= limit - offset;
}

template <typename T>
T Load(const QByteArray &bytes, std::uint64_t offset)
{
    T value;
    std::memcpy(&value, bytes.constData() + offset, sizeof(T));
    return value;
}

template <typename Shdr>
SectionHeader Convert(const Shdr &raw)
{
    return SectionHeader{raw.sh_name, raw.sh_type, raw.sh_offset, raw.sh_size, raw.sh_link};
}

template <typename Ehdr, typename Shdr>
std::optional<TableShape> ReadShape(QFile &file)
{
    const QByteArray bytes = file.read(sizeof(Ehdr));
    if (bytes.size() != qsizetype(sizeof(Ehdr)))
        return std::nullopt;
    const auto header = Load<Ehdr>(bytes, 0);
    TableShape shape{header.e_shoff, header.e_shentsize, header.e_shnum, header.e_shstrndx};
    if (shape.Offset == 0 || shape.EntrySize < sizeof(Shdr))
        return std::nullopt;
    if (shape.Count == 0 || shape.NamesIndex == SHN_XINDEX) {
        // Extended numbering: the real values live in the first section header.
        if (!file.seek(qint64(shape.Offset)))
            return std::nullopt;
        const QByteArray first = file.read(sizeof(Shdr));
        if (first.size() != qsizetype(sizeof(Shdr)))
            return std::nullopt;
        const auto zero = Load<Shdr>(first, 0);
        if (shape.Count == 0)
            shape.Count = zero.sh_size;
        if (shape.NamesIndex == SHN_XINDEX)
            shape.NamesIndex = zero.sh_link;
    }
    return shape;
}

template <typename Ehdr, typename Shdr>
std::optional<std::vector<SectionHeader>> ReadHeaders(QFile &file, std::uint64_t fileSize, TableShape &shape)
{
    const auto read = ReadShape<Ehdr, Shdr>(file);
    if (!read)
        return std::nullopt;
    shape = *read;
    if (shape.Count == 0 || shape.Count > kMaxSections || shape.NamesIndex >= shape.Count
        || !Fits(shape.Offset, shape.Count * shape.EntrySize, fileSize) || !file.seek(qint64(shape.Offset)))
        return std::nullopt;
    const QByteArray table = file.read(qint64(shape.Count * shape.EntrySize));
    if (std::uint64_t(table.size()) != shape.Count * shape.EntrySize)
        return std::nullopt;
    std::vector<SectionHeader> headers;
    headers.reserve(shape.Count);
    for (std::uint64_t i = 0; i < shape.Count; ++i)
        headers.push_back(Convert(Load<Shdr>(table, i * shape.EntrySize)));
    return headers;
}

std::optional<std::vector<SectionHeader>> ReadSectionHeaders(QFile &file, std::uint64_t fileSize,
                                                             TableShape &shape)
{
    const QByteArray ident = file.read(EI_NIDENT);
    if (ident.size() != EI_NIDENT || std::memcmp(ident.constData(), ELFMAG, SELFMAG) != 0
        || ident[EI_DATA] != ELFDATA2LSB || std::endian::native != std::endian::little || !file.seek(0))
        return std::nullopt;
    if (ident[EI_CLASS] == ELFCLASS64)
        return ReadHeaders<Elf64_Ehdr, Elf64_Shdr>(file, fileSize, shape);
    if (ident[EI_CLASS] == ELFCLASS32)
        return ReadHeaders<Elf32_Ehdr, Elf32_Shdr>(file, fileSize, shape);
    return std::nullopt;
}

bool NameMatches(const QByteArray &names, std::uint32_t offset, const QByteArray &wanted)
{
    const std::uint64_t end = std::uint64_t(offset) + std::uint64_t(wanted.size());
    return end < std::uint64_t(names.size()) && names.mid(offset, wanted.size()) == wanted && names[qsizetype(end)] == '\0';
}

}  // namespace

std::optional<ElfSectionPlace> FindElfSection(const QString &fileName, const QByteArray &sectionName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::uint64_t fileSize = std::uint64_t(file.size());
    TableShape shape;
    const auto headers = ReadSectionHeaders(file, fileSize, shape);
    if (!headers)
        return std::nullopt;
    const SectionHeader &namesSection = (*headers)[shape.NamesIndex];
    if (namesSection.Type == SHT_NOBITS || !Fits(namesSection.Offset, namesSection.Size, fileSize)
        || namesSection.Size > kMaxSections * 256 || !file.seek(qint64(namesSection.Offset)))
        return std::nullopt;
    const QByteArray names = file.read(qint64(namesSection.Size));
    if (std::uint64_t(names.size()) != namesSection.Size)
        return std::nullopt;
    for (const SectionHeader &header : *headers) {
        if (header.Type != SHT_NOBITS && header.Type != SHT_NULL && NameMatches(names, header.Name, sectionName)
            && Fits(header.Offset, header.Size, fileSize))
            return ElfSectionPlace{header.Offset, header.Size};
    }
    return std::nullopt;
}

std::optional<QByteArray> ReadElfSection(const QString &fileName, const QByteArray &sectionName,
                                         std::uint64_t maxSize)
{
    const auto place = FindElfSection(fileName, sectionName);
    if (!place || place->Size > maxSize)
        return std::nullopt;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(qint64(place->Offset)))
        return std::nullopt;
    QByteArray bytes = file.read(qint64(place->Size));
    if (std::uint64_t(bytes.size()) != place->Size)
        return std::nullopt;
    return bytes;
}
