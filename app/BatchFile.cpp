#include "app/BatchFile.h"

#include "platform/AnsiCodePage.h"
#include "platform/FileSystem.h"

namespace {

// Inside double quotes a POSIX shell gives "$" and "`" their meaning and
// takes a backslash as an escape only before one of these.
bool isShellEscapable(QChar c)
{
    return c == u'$' || c == u'`' || c == u'"' || c == u'\\' || c == u'\n';
}

// The text between double quotes such that both readers of the line, the
// program's own command-line cutting (where a backslash is ordinary and a
// doubled quote adds nothing) and a POSIX shell, get the same argument.
QString quote(const QString &text)
{
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += u'"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            quoted += QStringLiteral("\"\"");
        } else if (c == u'$' || c == u'`') {
            quoted += u'\\';
            quoted += c;
        } else if (c == u'\\') {
            // The next character in the line is either the next one of the
            // text or the closing quote; both may turn "\" into an escape.
            const bool escapeNext = i + 1 == text.size() || isShellEscapable(text[i + 1]);
            quoted += escapeNext ? QStringLiteral("\\\\") : QStringLiteral("\\");
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

void ProjectFileToBat(const TProjectFile &job, const QString &fileName,
                      const QString &executableFileName)
{
    // Executable like any shell script, within what the umask allows.
    constexpr unsigned kNewBatchFileMode = 0777;
    WriteFileAtomically(fileName, UnicodeToAnsi(ProjectFileToCommandLine(job, executableFileName)),
                        kNewBatchFileMode);
}

void CreateBatFile(const TBatchWindow &window, const QString &fileName)
{
    ProjectFileToBat(window.ControlsToProjectFile(), fileName);
}

void ActionFileCreateBatAccept(const TBatchWindow &window, const QString &fileName)
{
    if (!window.ValidateInput())
        return;
    CreateBatFile(window, fileName);
}
