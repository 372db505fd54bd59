#include "app/BatchFile.h"

#include "platform/AnsiCodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

#include <QList>

#include <utility>

namespace {

// Inside double quotes a POSIX shell gives "$" and "`" their meaning and
// takes a backslash as an escape only before one of these.
bool isShellEscapable(QChar c)
{
    return c == u'$' || c == u'`' || c == u'"' || c == u'\\' || c == u'\n';
}

// Code pages such as CP932, Big5 and GBK put ASCII bytes into the second
// byte of a character: "ソ" is 83 5C and "～" 81 60 in CP932. A byte-reading
// shell (dash) takes these for "\" and "`" inside double quotes, so a "～" in
// a path would start a command substitution. Such characters go between
// single quotes, where no byte is special but the quote itself, which no
// second byte ever is.
bool hidesShellSpecialByte(const QString &character, const QByteArray &codePage)
{
    if (character.size() == 1 && character[0].unicode() < 0x80)
        return false;
    const QByteArray bytes = UnicodeToAnsi(character, codePage);
    return bytes.contains('\\') || bytes.contains('`') || bytes.contains('$') || bytes.contains('"');
}

// For each UTF-16 unit of the text: does its character need single quotes?
QList<bool> singleQuotedUnits(const QString &text, const QByteArray &codePage)
{
    QList<bool> quoted(text.size(), false);
    if (codePage == "UTF-8")
        return quoted;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const bool hides = hidesShellSpecialByte(text.mid(i, length), codePage);
        for (qsizetype k = 0; k < length; ++k)
            quoted[i + k] = hides;
        i += length;
    }
    return quoted;
}

// The text between double quotes such that both readers of the line, the
// program's own command-line cutting (where a backslash is ordinary and a
// doubled quote adds nothing) and a POSIX shell, get the same argument.
QString quote(const QString &text, const QByteArray &codePage = AnsiCodePageName())
{
    const QList<bool> singleQuoted = singleQuotedUnits(text, codePage);
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += u'"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (singleQuoted[i]) {
            const bool opens = i == 0 || !singleQuoted[i - 1];
            const bool closes = i + 1 == text.size() || !singleQuoted[i + 1];
            quoted += opens ? QStringLiteral("\"'") + c : QString(c);
            if (closes)
                quoted += QStringLiteral("'\"");
        } else if (c == u'"') {
            quoted += QStringLiteral("\"\"");
        } else if (c == u'$' || c == u'`') {
            quoted += u'\\';
            quoted += c;
        } else if (c == u'\\') {
            // What follows in the line is the next character of the text or
            // a closing quote; either may turn "\" into an escape.
            const bool escape = i + 1 == text.size() || singleQuoted[i + 1] || isShellEscapable(text[i + 1]);
            quoted += escape ? QStringLiteral("\\\\") : QStringLiteral("\\");
        } else {
            quoted += c;
        }
    }
    quoted += u'"';
    return quoted;
}

}  // namespace

QString FormatSwitch(const QString &name, const QString &value)
{
    return u' ' + quote(QStringLiteral("-%1:%2").arg(name, value));
}

QString ProjectFileToCommandLine(const TProjectFile &job, const QString &executableFileName)
{
    QString line = quote(executableFileName);
    line += FormatSwitch(QStringLiteral("sf"), job.FSourceMdbPath);
    if (!job.FSourceMdbPassword.isEmpty())
        line += FormatSwitch(QStringLiteral("sp"), job.FSourceMdbPassword);
    line += FormatSwitch(QStringLiteral("tf"), job.FTargetMdbPath);
    if (!job.FTargetMdbPassword.isEmpty())
        line += FormatSwitch(QStringLiteral("tp"), job.FTargetMdbPassword);
    line += FormatSwitch(QStringLiteral("et"), QString::number(job.FEngineType));
    if (job.FOptionAutoExit)
        line += QStringLiteral(" -oe");
    line += QStringLiteral(" -as");
    return line;
}

QString BatchFileRefusal(const TProjectFile &job)
{
    const std::pair<QString, QString> fields[] = {
        {QStringLiteral("最適化するMDBファイルの場所"), job.FSourceMdbPath},
        {QStringLiteral("最適化するMDBファイルのパスワード"), job.FSourceMdbPassword},
        {QStringLiteral("最適化したMDBファイルの保存場所"), job.FTargetMdbPath},
        {QStringLiteral("最適化したMDBファイルのパスワード"), job.FTargetMdbPassword}};
    for (const auto &[caption, value] : fields) {
        if (value.contains(u'"'))
            return QStringLiteral("%1に二重引用符 (\") が含まれています。バッチファイルのコマンドラインでは"
                                  "二重引用符が失われて別の値になるため、バッチファイルは作成しません。")
                .arg(caption);
    }
    return QString();
}

void ProjectFileToBat(const TProjectFile &job, const QString &fileName,
                      const QString &executableFileName)
{
    if (const QString refusal = BatchFileRefusal(job); !refusal.isEmpty())
        throw EArgumentException(refusal);
    // Executable like any shell script, within what the umask allows; a line
    // that carries a password is for its owner's eyes only.
    const bool holdsPassword = !job.FSourceMdbPassword.isEmpty() || !job.FTargetMdbPassword.isEmpty();
    WriteFileAtomically(fileName, UnicodeToAnsi(ProjectFileToCommandLine(job, executableFileName)),
                        holdsPassword ? 0700 : 0777);
}
