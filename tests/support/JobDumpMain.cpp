// The program with a hook that only the tests get: when TESSIVAR_DUMP_JOB
// names a file, the job the arguments describe is written there and nothing
// else happens. The file is UTF-8, one "Field=value" line per job field in
// field order (FSourceMdbPath, FSourceMdbPassword, FTargetMdbPath,
// FTargetMdbPassword, FEngineType, FOptionAutoExit, FAutoStart), values as
// they are. Without the variable it is the program itself.
#include "app/CommandLineJob.h"
#include "app/Program.h"
#include "platform/AnsiCodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

#include <clocale>
#include <cstdio>

namespace {

QString jobDumpText(const TProjectFile &job)
{
    const auto flag = [](bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); };
    return QStringLiteral("FSourceMdbPath=%1\nFSourceMdbPassword=%2\nFTargetMdbPath=%3\nFTargetMdbPassword=%4\n"
                          "FEngineType=%5\nFOptionAutoExit=%6\nFAutoStart=%7\n")
        .arg(job.FSourceMdbPath, job.FSourceMdbPassword, job.FTargetMdbPath, job.FTargetMdbPassword,
             QString::number(job.FEngineType), flag(job.FOptionAutoExit), flag(job.FAutoStart));
}

}  // namespace

int main(int argc, char **argv)
{
    const QString dumpFile = qEnvironmentVariable("TESSIVAR_DUMP_JOB");
    if (dumpFile.isEmpty())
        return RunProgram(argc, argv);
    std::setlocale(LC_ALL, "");
    KeepUserCharacterSet();
    try {
        WriteFileAtomically(dumpFile, jobDumpText(ArgsToProjectFile(ProgramArguments(argc, argv))).toUtf8());
        return 0;
    } catch (const Exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
