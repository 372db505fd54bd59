#include "app/ProjectFileIni.h"

#include "util/MemIniFile.h"

namespace {

const QString kSourceMdb = QStringLiteral("SOURCE_MDB");
const QString kTargetMdb = QStringLiteral("TARGET_MDB");
const QString kOption = QStringLiteral("OPTION");
const QString kPath = QStringLiteral("PATH");
const QString kPassword = QStringLiteral("PASSWORD");
const QString kEngineType = QStringLiteral("ENGINE_TYPE");
const QString kAutoExit = QStringLiteral("AUTO_EXIT");

}  // namespace

void IniToProjectFile(const QString &fileName, TProjectFile &job)
{
    const TMemIniFile ini(fileName);
    job = MakeProjectFile(ini.ReadString(kSourceMdb, kPath, QString()),
                          ini.ReadString(kSourceMdb, kPassword, QString()),
                          ini.ReadString(kTargetMdb, kPath, QString()),
                          ini.ReadString(kTargetMdb, kPassword, QString()),
                          ini.ReadInteger(kTargetMdb, kEngineType, DefaultEngineType),
                          ini.ReadBool(kOption, kAutoExit, false), false);
}

// The order of the writes fixes the order in which missing sections and keys
// are appended to the file.
void ProjectFileToIni(const TProjectFile &job, const QString &fileName)
{
    TMemIniFile ini(fileName);
    ini.WriteString(kSourceMdb, kPath, job.FSourceMdbPath);
    ini.WriteString(kSourceMdb, kPassword, job.FSourceMdbPassword);
    ini.WriteString(kTargetMdb, kPath, job.FTargetMdbPath);
    ini.WriteString(kTargetMdb, kPassword, job.FTargetMdbPassword);
    ini.WriteInteger(kTargetMdb, kEngineType, job.FEngineType);
    ini.WriteBool(kOption, kAutoExit, job.FOptionAutoExit);
    // Passwords stand in plain text: a new file that holds one is the owner's only.
    if (!job.FSourceMdbPassword.isEmpty() || !job.FTargetMdbPassword.isEmpty())
        ini.SetNewFileMode(0600);
    ini.UpdateFile();
}
