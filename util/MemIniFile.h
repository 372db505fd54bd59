// The settings-file document: the whole file is loaded into memory on
// creation, read and changed there, and written back whole by UpdateFile.
// Sections and entries keep their order; duplicates are kept, not merged.
#pragma once

#include "util/CustomIniFile.h"
#include "util/IniTextEncoding.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class TMemIniFile : public TCustomIniFile {
public:
    // Loads the file; an empty name or a name where no file exists gives an
    // empty document. Throws EFOpenError when the file exists but cannot be read.
    // Files without a byte-order mark are read and written in `ansiCodePage`.
    explicit TMemIniFile(const QString &fileName, const QByteArray &ansiCodePage = QByteArray());

    // Section and key names match without regard to letter case; when several
    // match, the last one in the document wins.
    QString ReadString(const QString &section, const QString &ident, const QString &defaultValue) const override;
    void WriteString(const QString &section, const QString &ident, const QString &value) override;

    // Rewrites the whole file in its encoding with CR LF line ends. The old
    // file is replaced only once the new content is completely on disk.
    // Throws EFCreateError when the file cannot be written.
    void UpdateFile() override;

    // Permission bits (less the umask) UpdateFile gives a file it creates;
    // 0666 unless set. An existing file keeps its own.
    void SetNewFileMode(unsigned mode) { FNewFileMode = mode; }

    TIniEncoding Encoding() const { return FEncoding; }
    // The text UpdateFile would write, before encoding.
    QString Text() const;

private:
    struct Section {
        QString name;
        QStringList entries;  // "key=value", or a line without "=" kept as it stood
    };

    void load(const QString &text);
    Section *findSection(const QString &name);
    const Section *findSection(const QString &name) const;

    QByteArray FAnsiCodePage;
    TIniEncoding FEncoding = TIniEncoding::Unset;
    std::vector<Section> FSections;
    unsigned FNewFileMode = 0666;
};
