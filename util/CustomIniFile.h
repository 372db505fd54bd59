// The typed half of an INI document: integers and flags are stored as text,
// so a document only has to supply ReadString, WriteString and UpdateFile.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Parses an integer the way settings files have always been read: an optional
// sign, then decimal digits that fit a signed 32-bit value, or a hexadecimal
// number introduced by "$", "x", "X", "0x" or "0X" that fits in 32 bits and is
// taken as a bit pattern. Nothing else may surround it; no value otherwise.
std::optional<std::int32_t> ParseIniInteger(const QString &text);

class TCustomIniFile {
public:
    explicit TCustomIniFile(const QString &fileName) : FFileName(fileName) {}
    virtual ~TCustomIniFile() = default;
    TCustomIniFile(const TCustomIniFile &) = delete;
    TCustomIniFile &operator=(const TCustomIniFile &) = delete;

    const QString &FileName() const { return FFileName; }

    virtual QString ReadString(const QString &section, const QString &ident, const QString &defaultValue) const = 0;
    virtual void WriteString(const QString &section, const QString &ident, const QString &value) = 0;
    virtual void UpdateFile() = 0;

    // The default comes back for a missing key and for any text that is no number.
    std::int32_t ReadInteger(const QString &section, const QString &ident, std::int32_t defaultValue) const;
    // On exactly when the value reads as a non-zero integer.
    bool ReadBool(const QString &section, const QString &ident, bool defaultValue) const;
    void WriteInteger(const QString &section, const QString &ident, std::int32_t value);
    void WriteBool(const QString &section, const QString &ident, bool value);

private:
    QString FFileName;
};
