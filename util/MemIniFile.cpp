#include "util/MemIniFile.h"

#include "platform/AnsiCodePage.h"
#include "platform/FileSystem.h"

namespace {

// Settings files are a few hundred bytes; anything this large is no settings
// file and is refused rather than decoded into memory.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

// Removes every leading and trailing character below 33 (blanks and control
// characters); other white space, such as U+3000, stays.
QString trimControls(const QString &s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin].unicode() < 33)
        ++begin;
    while (end > begin && s[end - 1].unicode() < 33)
        --end;
    return s.mid(begin, end - begin);
}

// Lines end at CR LF, a lone CR or a lone LF; the first NUL ends the text.
QStringList splitLines(QString text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

QString upperCase(const QString &s)
{
    QString result = s;
    for (QChar &c : result)
        c = c.toUpper();
    return result;
}

bool sameName(const QString &a, const QString &b)
{
    return a.size() == b.size() && upperCase(a) == upperCase(b);
}

// The key of an entry is the text before its first "="; a line without "="
// has no key and is never found.
qsizetype findKey(const QStringList &entries, const QString &ident)
{
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        const qsizetype eq = entries[i].indexOf(u'=');
        if (eq >= 0 && sameName(entries[i].left(eq), ident))
            return i;
    }
    return -1;
}

}  // namespace

TMemIniFile::TMemIniFile(const QString &fileName, const QByteArray &ansiCodePage)
    : TCustomIniFile(fileName), FAnsiCodePage(ansiCodePage.isEmpty() ? AnsiCodePageName() : ansiCodePage)
{
    if (!FileExists(fileName))
        return;
    const TDecodedText decoded = DecodeIniBytes(ReadWholeFile(fileName, kMaxFileBytes), FAnsiCodePage);
    FEncoding = decoded.encoding;
    load(decoded.text);
}

void TMemIniFile::load(const QString &text)
{
    Section *current = nullptr;
    for (const QString &rawLine : splitLines(text)) {
        const QString line = trimControls(rawLine);
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.size() >= 2 && line.startsWith(u'[') && line.endsWith(u']')) {
            FSections.push_back({trimControls(line.mid(1, line.size() - 2)), {}});
            current = &FSections.back();
            continue;
        }
        if (current == nullptr)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            current->entries.append(line);
        else
            current->entries.append(trimControls(line.left(eq)) + u'=' + trimControls(line.mid(eq + 1)));
    }
}

const TMemIniFile::Section *TMemIniFile::findSection(const QString &name) const
{
    for (auto it = FSections.rbegin(); it != FSections.rend(); ++it) {
        if (sameName(it->name, name))
            return &*it;
    }
    return nullptr;
}

TMemIniFile::Section *TMemIniFile::findSection(const QString &name)
{
    return const_cast<Section *>(static_cast<const TMemIniFile *>(this)->findSection(name));
}

QString TMemIniFile::ReadString(const QString &section, const QString &ident, const QString &defaultValue) const
{
    const Section *found = findSection(section);
    if (found == nullptr)
        return defaultValue;
    const qsizetype index = findKey(found->entries, ident);
    if (index < 0)
        return defaultValue;
    const QString &entry = found->entries[index];
    return entry.mid(entry.indexOf(u'=') + 1);
}

void TMemIniFile::WriteString(const QString &section, const QString &ident, const QString &value)
{
    Section *target = findSection(section);
    if (target == nullptr) {
        FSections.push_back({section, {}});
        target = &FSections.back();
    }
    const QString entry = ident + u'=' + value;
    const qsizetype index = findKey(target->entries, ident);
    if (index >= 0)
        target->entries[index] = entry;
    else
        target->entries.append(entry);
}

QString TMemIniFile::Text() const
{
    static const QString kLineEnd = QStringLiteral("\r\n");
    QString text;
    for (const Section &section : FSections) {
        text += u'[' + section.name + u']' + kLineEnd;
        for (const QString &entry : section.entries)
            text += entry + kLineEnd;
        text += kLineEnd;
    }
    return text;
}

void TMemIniFile::UpdateFile()
{
    WriteFileAtomically(FileName(), EncodeIniText(Text(), FEncoding, FAnsiCodePage), FNewFileMode);
}
