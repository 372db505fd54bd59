#include "app/ProjectFileIni.h"

#include "platform/AnsiCodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "support/TempFiles.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

using testfiles::readBytes;
using testfiles::writeBytes;

namespace {

const TProjectFile kSalesJob = MakeProjectFile("C:\\Data\\sales.mdb", "", "C:\\Data\\sales_new.mdb", "", 5, false, false);

class ProjectFileIniTest : public ::testing::Test {
protected:
    QString path(const QString &name = QStringLiteral("job.ini")) const { return FDir.filePath(name); }
    TProjectFile read(const QByteArray &bytes)
    {
        writeBytes(path(), bytes);
        TProjectFile job = MakeProjectFile("x", "x", "x", "x", 0, true, true);
        IniToProjectFile(path(), job);
        return job;
    }

    QTemporaryDir FDir;
};

}  // namespace

TEST_F(ProjectFileIniTest, NewFileHoldsExactlyTheTwelveLines)
{
    ProjectFileToIni(kSalesJob, path());
    EXPECT_EQ(readBytes(path()),
              "[SOURCE_MDB]\r\nPATH=C:\\Data\\sales.mdb\r\nPASSWORD=\r\n\r\n"
              "[TARGET_MDB]\r\nPATH=C:\\Data\\sales_new.mdb\r\nPASSWORD=\r\nENGINE_TYPE=5\r\n\r\n"
              "[OPTION]\r\nAUTO_EXIT=0\r\n\r\n");
}

TEST_F(ProjectFileIniTest, SavingOverAFileMergesIntoItsContent)
{
    writeBytes(path(), "; my jobs\r\n[OPTION]\r\nauto_exit = 1\r\nNOTE=weekly\r\n\r\n[SOURCE_MDB]\r\nPATH=C:\\Old\\a.mdb\r\n");
    TProjectFile job = kSalesJob;
    job.FEngineType = 4;
    ProjectFileToIni(job, path());
    EXPECT_EQ(readBytes(path()),
              "[OPTION]\r\nAUTO_EXIT=0\r\nNOTE=weekly\r\n\r\n"
              "[SOURCE_MDB]\r\nPATH=C:\\Data\\sales.mdb\r\nPASSWORD=\r\n\r\n"
              "[TARGET_MDB]\r\nPATH=C:\\Data\\sales_new.mdb\r\nPASSWORD=\r\nENGINE_TYPE=4\r\n\r\n");
}

TEST_F(ProjectFileIniTest, SavedJobOpensBackUnchanged)
{
    const TProjectFile jobs[] = {
        MakeProjectFile(QStringLiteral("/home/u/売上 データ.mdb"), "p=w;[x]", "/tmp/out.mdb", QStringLiteral("秘密"), 4, true, false),
        MakeProjectFile("", "", "", "", 5, false, false),
        MakeProjectFile("a", "b", "c", "d", 3, false, false),  // stored as is; checked only in the window
    };
    for (const TProjectFile &job : jobs) {
        ProjectFileToIni(job, path());
        TProjectFile back;
        IniToProjectFile(path(), back);
        EXPECT_EQ(back, job) << job.FSourceMdbPath.toStdString();
    }
    // The start flag is never saved and never read.
    TProjectFile autoStart = jobs[0];
    autoStart.FAutoStart = true;
    ProjectFileToIni(autoStart, path());
    EXPECT_FALSE(read(readBytes(path())).FAutoStart);
}

TEST_F(ProjectFileIniTest, MissingOrUnusableValuesGiveTheDefaults)
{
    EXPECT_EQ(read(""), DefaultProjectFile());
    EXPECT_EQ(read("just some text\r\n[OTHER]\r\nPATH=x\r\n"), DefaultProjectFile());

    const std::pair<const char *, std::int32_t> engineTypes[] = {
        {"4", 4}, {"5", 5}, {"0x4", 4}, {"0X4", 4}, {"$4", 4}, {"x4", 4}, {"+4", 4},
        {"4x", 5}, {"four", 5}, {"", 5}, {"4294967296", 5}, {"3", 3},
    };
    for (const auto &[text, expected] : engineTypes)
        EXPECT_EQ(read(QByteArray("[TARGET_MDB]\r\nENGINE_TYPE=") + text).FEngineType, expected) << text;
    EXPECT_EQ(read("[OPTION]\r\nENGINE_TYPE=4\r\n").FEngineType, 5);  // only TARGET_MDB counts

    const std::pair<const char *, bool> autoExits[] = {
        {"1", true}, {"2", true}, {"-1", true}, {"0", false}, {"true", false}, {"yes", false}, {"", false},
    };
    for (const auto &[text, expected] : autoExits)
        EXPECT_EQ(read(QByteArray("[OPTION]\r\nAUTO_EXIT=") + text).FOptionAutoExit, expected) << text;
}

TEST_F(ProjectFileIniTest, ErrorsPropagateAndSaveLeavesNothingHalfDone)
{
    const QString missingFolder = path(QStringLiteral("gone/job.ini"));
    try {
        ProjectFileToIni(kSalesJob, missingFolder);
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(missingFolder, SysErrorMessage(ENOENT)));
    }
    // A file bigger than any settings file is refused before anything is written.
    const QString huge = path(QStringLiteral("huge.ini"));
    writeBytes(huge, QByteArray(17 * 1024 * 1024, ' '));
    EXPECT_THROW(ProjectFileToIni(kSalesJob, huge), EFOpenError);
    TProjectFile job;
    EXPECT_THROW(IniToProjectFile(huge, job), EFOpenError);
    EXPECT_EQ(QFileInfo(huge).size(), 17 * 1024 * 1024);
}

namespace {

// Switches LC_CTYPE to a Shift_JIS (CP932) locale for one test. When the
// system has none, one is compiled into a scratch folder with localedef.
class Cp932Locale {
public:
    Cp932Locale()
    {
        FSavedCtype = std::setlocale(LC_CTYPE, nullptr);
        FSavedLocPath = qgetenv("LOCPATH");
        FHadLocPath = qEnvironmentVariableIsSet("LOCPATH");
        for (const char *name : {"ja_JP.SJIS", "ja_JP.sjis", "ja_JP.WINDOWS-31J"}) {
            if (std::setlocale(LC_CTYPE, name)) {
                FActive = true;
                return;
            }
        }
        const QString localedef = QStandardPaths::findExecutable("localedef");
        if (localedef.isEmpty() || !FLocales.isValid())
            return;
        const QString target = FLocales.filePath("ja_JP.WINDOWS-31J");
        QProcess::execute(localedef, {"-c", "-f", "WINDOWS-31J", "-i", "ja_JP", target});
        qputenv("LOCPATH", QFile::encodeName(FLocales.path()));
        FActive = std::setlocale(LC_CTYPE, "ja_JP.WINDOWS-31J") != nullptr;
    }
    ~Cp932Locale()
    {
        std::setlocale(LC_CTYPE, FSavedCtype.c_str());
        if (FHadLocPath)
            qputenv("LOCPATH", FSavedLocPath);
        else
            qunsetenv("LOCPATH");
    }
    bool active() const { return FActive; }

private:
    std::string FSavedCtype;
    QByteArray FSavedLocPath;
    bool FHadLocPath = false;
    bool FActive = false;
    QTemporaryDir FLocales;
};

}  // namespace

TEST_F(ProjectFileIniTest, WindowsFileInCp932OpensUnderAShiftJisLocale)
{
    Cp932Locale locale;
    if (!locale.active())
        GTEST_SKIP() << "no Shift_JIS locale and no localedef to make one";
    ASSERT_EQ(AnsiCodePageName(), "CP932");

    // Written on Windows: no mark; ソ and 表 end in byte 5C, which is no "\".
    const QByteArray windowsFile = "[SOURCE_MDB]\r\nPATH=C:\\\x83\x66\x81\x5B\x83\x5E\\\x83\x5C\x95\x5C\x87\x40.mdb\r\n"
                                   "PASSWORD=\x94\xE9\x96\xA7\r\n[TARGET_MDB]\r\nENGINE_TYPE=4\r\n";
    const TProjectFile job = read(windowsFile);
    EXPECT_EQ(job.FSourceMdbPath, QStringLiteral("C:\\データ\\ソ表①.mdb"));
    EXPECT_EQ(job.FSourceMdbPassword, QStringLiteral("秘密"));
    EXPECT_EQ(job.FEngineType, 4);

    ProjectFileToIni(job, path());
    EXPECT_EQ(readBytes(path()),
              "[SOURCE_MDB]\r\nPATH=C:\\\x83\x66\x81\x5B\x83\x5E\\\x83\x5C\x95\x5C\x87\x40.mdb\r\nPASSWORD=\x94\xE9\x96\xA7\r\n\r\n"
              "[TARGET_MDB]\r\nENGINE_TYPE=4\r\nPATH=\r\nPASSWORD=\r\n\r\n[OPTION]\r\nAUTO_EXIT=0\r\n\r\n");
}
