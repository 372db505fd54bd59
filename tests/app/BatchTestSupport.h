// Shared by the batch-file tests: jobs whose texts a shell would misread,
// and a way to run one test in another character set.
#pragma once

#include "app/ProjectFile.h"

#include <QList>
#include <QString>

#include <clocale>
#include <string>

namespace batchtest {

struct ShellCase {
    const char *name;
    QString sourcePath;
    QString sourcePassword;
    QString targetPath;
    QString targetPassword;
};

inline QList<ShellCase> shellCases()
{
    return {
        {"blanks and colons", QStringLiteral("/data/My Files/a:b.mdb"), QStringLiteral("pass word"),
         QStringLiteral("/data/My Files/a compact.mdb"), QStringLiteral(" lead:trail ")},
        {"command separators", QStringLiteral("/d/a;b&c|d.mdb"), QStringLiteral("x; touch marker1 &"),
         QStringLiteral("/d/%TEMP%^x.mdb"), QStringLiteral("a&&b||c>d<e")},
        {"expansions", QStringLiteral("/d/$HOME/${PATH}.mdb"), QStringLiteral("$(touch marker2)"),
         QStringLiteral("/d/`touch marker3`.mdb"), QStringLiteral("$1$@$*$$$")},
        {"backslashes", QStringLiteral("C:\\data\\a.mdb"), QStringLiteral("\\"),
         QStringLiteral("\\\\server\\share\\"), QStringLiteral("a\\$b\\`c\\\\d\\\\")},
        {"japanese", QStringLiteral("/データ/売上 (2024).mdb"), QStringLiteral("パスワード"),
         QStringLiteral("/データ/最適化後.mdb"), QStringLiteral("表ソ～")},
        {"globs and tildes", QStringLiteral("~/*.mdb"), QStringLiteral("[a-z]?"), QStringLiteral("~root"),
         QStringLiteral("!!")},
    };
}

// Sets LC_CTYPE for one test and puts the old one back.
class ScopedCharacterSet {
public:
    explicit ScopedCharacterSet(const char *locale) : FOld(std::setlocale(LC_CTYPE, nullptr))
    {
        FActive = std::setlocale(LC_CTYPE, locale) != nullptr;
    }
    ~ScopedCharacterSet() { std::setlocale(LC_CTYPE, FOld.c_str()); }
    bool active() const { return FActive; }

private:
    std::string FOld;
    bool FActive = false;
};

}  // namespace batchtest
