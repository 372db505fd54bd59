// Command-line helpers: the switch parser, the number conversion the switches
// use, and the cutting of a whole command line into arguments.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// Answers questions about switches such as "-sf:C:\a.mdb" or "/oe". A switch
// is a leader ("-" or "/") and a name, then, for a value, an optional ":".
// Matching is by prefix and ignores the case of the ASCII letters only, and
// the first matching argument wins. The parser knows no switch names.
class TArgsParser {
public:
    TArgsParser() = default;
    virtual ~TArgsParser() = default;
    TArgsParser(const TArgsParser &) = delete;
    TArgsParser &operator=(const TArgsParser &) = delete;

    // Appends the argument unchanged; duplicates are kept.
    void Add(const QString &arg);
    // True when some argument begins with "-" or "/" and the switch name.
    bool Has(const QString &switchName) const;
    // What follows the first matching argument's head, less one leading ":";
    // empty when nothing matches or the name is empty.
    QString Get(const QString &switchName) const;

private:
    const QString *FirstMatch(const QString &switchName) const;

    QStringList FArgs;
};

// Folds a to z into A to Z and leaves every other character alone.
QString UpperCaseAscii(const QString &text);

// A signed 32-bit number written as: blanks (U+0020 only), an optional sign,
// then decimal digits or hexadecimal digits after "$", "x", "X", "0x" or
// "0X", and nothing after the last digit. Nothing for any other text or for
// a value outside the 32-bit range.
std::optional<std::int32_t> StrToInt32(const QString &text);

// Cuts a whole command line into its tokens by the rules Windows programs
// apply to their own command line: blanks and control characters separate
// tokens outside double quotes; quotes may stand anywhere in a token and are
// never part of it; "" at the start of a token is skipped; there is no escape
// character. Cutting stops at the first token that comes out empty.
QStringList CommandLineTokens(const QString &commandLine);

// The arguments of a command line: its tokens without token 0, the program.
QStringList CommandLineArguments(const QString &commandLine);
