// glibc ships the Japanese legacy locales only as sources. A test suite that
// needs ja_JP.eucJP or ja_JP.SJIS compiles them with localedef into a scratch
// folder and points LOCPATH there for its run (child processes inherit it).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <utility>

class CompiledLocales {
public:
    // The names they are compiled under, as LC_ALL and setlocale take them.
    static constexpr const char *kEucJp = "ja_JP.eucJP";
    static constexpr const char *kShiftJis = "ja_JP.SJIS";

    CompiledLocales()
    {
        FHadLocPath = qEnvironmentVariableIsSet("LOCPATH");
        FSavedLocPath = qgetenv("LOCPATH");
        const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
        if (localedef.isEmpty() || !FFolder.isValid())
            return;
        // -c: Shift_JIS is not ASCII-safe, which localedef only warns about.
        for (const auto &[name, charmap] : {std::pair{kEucJp, "EUC-JP"}, std::pair{kShiftJis, "SHIFT_JIS"}})
            QProcess::execute(localedef, {QStringLiteral("-c"), QStringLiteral("-f"), QLatin1String(charmap),
                                          QStringLiteral("-i"), QStringLiteral("ja_JP"),
                                          FFolder.filePath(QLatin1String(name))});
        qputenv("LOCPATH", QFile::encodeName(FFolder.path()));
    }
    ~CompiledLocales()
    {
        if (FHadLocPath)
            qputenv("LOCPATH", FSavedLocPath);
        else
            qunsetenv("LOCPATH");
    }
    CompiledLocales(const CompiledLocales &) = delete;
    CompiledLocales &operator=(const CompiledLocales &) = delete;

private:
    QTemporaryDir FFolder;
    bool FHadLocPath = false;
    QByteArray FSavedLocPath;
};
