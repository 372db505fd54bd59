// Hand-built ELF files for the version-information tests: just an ELF
// header, the given sections, the section-name table and the section
// header table, which is all a section reader looks at.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstring>
#include <elf.h>
#include <utility>
#include <vector>

namespace elffixture {

using Section = std::pair<QByteArray, QByteArray>;  // name, contents

template <typename Ehdr, typename Shdr, unsigned char Class>
QByteArray Build(const std::vector<Section> &sections)
{
    QByteArray names(1, '\0');
    QByteArray body;
    std::vector<Shdr> headers(1);  // section 0 is the null section
    for (const auto &[name, contents] : sections) {
        Shdr header{};
        header.sh_name = decltype(header.sh_name)(names.size());
        header.sh_type = SHT_PROGBITS;
        header.sh_offset = decltype(header.sh_offset)(sizeof(Ehdr) + body.size());
        header.sh_size = decltype(header.sh_size)(contents.size());
        names += name + '\0';
        body += contents;
        headers.push_back(header);
    }
    Shdr namesHeader{};
    namesHeader.sh_name = decltype(namesHeader.sh_name)(names.size());
    names += QByteArray(".shstrtab") + '\0';
    namesHeader.sh_type = SHT_STRTAB;
    namesHeader.sh_offset = decltype(namesHeader.sh_offset)(sizeof(Ehdr) + body.size());
    namesHeader.sh_size = decltype(namesHeader.sh_size)(names.size());
    body += names;
    headers.push_back(namesHeader);
    while (body.size() % 8)
        body += '\0';

    Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = Class;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_EXEC;
    header.e_version = EV_CURRENT;
    header.e_ehsize = sizeof(Ehdr);
    header.e_shoff = decltype(header.e_shoff)(sizeof(Ehdr) + body.size());
    header.e_shentsize = sizeof(Shdr);
    header.e_shnum = decltype(header.e_shnum)(headers.size());
    header.e_shstrndx = decltype(header.e_shstrndx)(headers.size() - 1);

    QByteArray file(reinterpret_cast<const char *>(&header), sizeof header);
    file += body;
    file += QByteArray(reinterpret_cast<const char *>(headers.data()), qsizetype(headers.size() * sizeof(Shdr)));
    return file;
}

inline QByteArray Elf64(const std::vector<Section> &sections)
{
    return Build<Elf64_Ehdr, Elf64_Shdr, ELFCLASS64>(sections);
}

inline QByteArray Elf32(const std::vector<Section> &sections)
{
    return Build<Elf32_Ehdr, Elf32_Shdr, ELFCLASS32>(sections);
}

inline QByteArray FromBytes(const std::vector<std::uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

inline bool Write(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace elffixture
