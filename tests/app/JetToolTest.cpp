// tessivar-jet as a sysadmin's script uses it: help and version, info
// without the password, JSON per file, and compaction of many files, in
// place or beside them.
#include "app/jettool/CompactReport.h"
#include "support/TestData.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
    // Standard output as JSON objects, one per line.
    QList<QJsonObject> objects() const
    {
        QList<QJsonObject> list;
        for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            list << document.object();
        }
        return list;
    }
};

ToolRun runTool(const QStringList &args, const QStringList &environment = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("TESSIVAR_PASSWORD"));
    env.remove(QStringLiteral("TESSIVAR_TARGET_PASSWORD"));
    for (const QString &setting : environment)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TESSIVAR_BINARY_DIR "/bin/tessivar-jet"), args);
    EXPECT_TRUE(process.waitForFinished(120000)) << "tessivar-jet did not finish";
    ToolRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

struct stat statOf(const QString &path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

class JetTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testdata::available())
            GTEST_SKIP() << "shared test databases not found at " << testdata::databasesDir();
        ASSERT_TRUE(dir_.isValid());
    }

    QString copyOf(const char *database, const QString &name, QFile::Permissions permissions = {})
    {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(QFile::copy(QString::fromStdString(testdata::database(database).string()), path));
        QFile::setPermissions(path, permissions ? permissions : QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
    QStringList entries() const { return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

    QTemporaryDir dir_;
};

}  // namespace

TEST(JetToolCommandLine, HelpAndVersionGoToStandardOutputAndExitZero)
{
    const ToolRun help = runTool({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("使い方: tessivar-jet info"))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("compact")));
    EXPECT_TRUE(help.err.isEmpty());
    const ToolRun version = runTool({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("tessivar-jet " TESSIVAR_VERSION "\n"));
    const ToolRun wrong = runTool({QStringLiteral("info")});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.out.isEmpty());
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("使い方:")));
    EXPECT_EQ(runTool({QStringLiteral("compact"), QStringLiteral("--backup"), QStringLiteral(".bak"), QStringLiteral("x.mdb")})
                  .exitCode, 2) << "--backup only with --in-place";
}

TEST_F(JetTool, InfoWithoutThePasswordShowsTheHeaderAndSeveralFilesAsJson)
{
    const QString locked = copyOf("ucanaccess__password.mdb", QStringLiteral("locked.mdb"));
    const QString plain = copyOf("psc-adoexamples__db1.mdb", QStringLiteral("plain.mdb"));
    const ToolRun text = runTool({QStringLiteral("info"), locked});
    EXPECT_EQ(text.exitCode, 0) << text.err.toStdString();
    for (const char *line : {"format\tJet4\n", "password\tyes\n", "tables\t-\n", "reclaimable-bytes\t"})
        EXPECT_TRUE(text.out.contains(QString::fromUtf8(line))) << line << text.out.toStdString();

    const ToolRun json = runTool({QStringLiteral("info"), QStringLiteral("--json"), locked, plain});
    EXPECT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QList<QJsonObject> objects = json.objects();
    ASSERT_EQ(objects.size(), 2);
    EXPECT_EQ(objects[0][QStringLiteral("file")].toString(), locked);
    EXPECT_TRUE(objects[0][QStringLiteral("password")].toBool());
    EXPECT_TRUE(objects[0][QStringLiteral("tables")].isNull()) << "no tables without the password";
    EXPECT_EQ(objects[1][QStringLiteral("format")].toString(), QStringLiteral("Jet3"));
    EXPECT_EQ(objects[1][QStringLiteral("fileBytes")].toInteger(), 88064);
    EXPECT_EQ(objects[1][QStringLiteral("reclaimableBytes")].toInteger(),
              objects[1][QStringLiteral("freePages")].toInteger() * objects[1][QStringLiteral("pageSize")].toInteger());
    bool sawUsers = false;
    for (const QJsonValue table : objects[1][QStringLiteral("tables")].toArray())
        if (table[QStringLiteral("name")].toString() == QStringLiteral("users")) {
            sawUsers = true;
            EXPECT_EQ(table[QStringLiteral("rows")].toInt(), 10);
            EXPECT_FALSE(table[QStringLiteral("system")].toBool());
        }
    EXPECT_TRUE(sawUsers) << json.out.toStdString();
}

TEST_F(JetTool, CheckTellsCleanFromUnreadableFilesPerFile)
{
    const QString plain = copyOf("psc-adoexamples__db1.mdb", QStringLiteral("plain.mdb"));
    const QString ace = copyOf("jackcess__V2010_testV2010.accdb", QStringLiteral("new.accdb"));
    const ToolRun run = runTool({QStringLiteral("check"), QStringLiteral("--json"), plain, ace});
    EXPECT_EQ(run.exitCode, 2) << "a file that cannot be read";
    const QList<QJsonObject> objects = run.objects();
    ASSERT_EQ(objects.size(), 2);
    EXPECT_TRUE(objects[0][QStringLiteral("clean")].toBool());
    EXPECT_EQ(objects[0][QStringLiteral("problems")].toInt(), 0);
    EXPECT_TRUE(objects[1][QStringLiteral("error")].toString().contains(QStringLiteral("ACE (.accdb) 形式のデータベースはまだ扱えません。")));
    EXPECT_EQ(runTool({QStringLiteral("check"), plain}).exitCode, 0);
}

TEST_F(JetTool, InPlaceReplacesTheFileKeepingItsModeAndOnlyAskedForBackups)
{
    const QString a = copyOf("jackcess__V2003_testIndexPropertiesV2003.mdb", QStringLiteral("a.mdb"),
                             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const QString b = copyOf("psc-adoexamples__db1.mdb", QStringLiteral("b.mdb"));
    const QByteArray originalA = contentOf(a);
    const struct stat before = statOf(a);

    const ToolRun run = runTool({QStringLiteral("compact"), QStringLiteral("--in-place"), QStringLiteral("--backup"),
                                 QStringLiteral(".bak"), a});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("最適化しました: ") + a + QStringLiteral(": 356352 -> ")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("合計: 1 ファイルを最適化: ")));
    const struct stat after = statOf(a);
    EXPECT_NE(after.st_ino, before.st_ino) << "a new file took the name";
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_LT(after.st_size, before.st_size);
    EXPECT_EQ(contentOf(a + QStringLiteral(".bak")), originalA);
    EXPECT_EQ(runTool({QStringLiteral("check"), a}).exitCode, 0) << "the replacement checks clean";

    ASSERT_EQ(runTool({QStringLiteral("compact"), QStringLiteral("--in-place"), b}).exitCode, 0);
    EXPECT_EQ(statOf(b).st_mode & 07777, 0600u);
    EXPECT_EQ(entries(), (QStringList{"a.mdb", "a.mdb.bak", "b.mdb"})) << "no backup unasked, no work files left";
}

TEST_F(JetTool, SeveralFilesGoOnPastOneInUseAndPasswordsComeFromTheEnvironment)
{
    const QString first = copyOf("psc-adoexamples__db1.mdb", QStringLiteral("first.mdb"));
    const QString busy = copyOf("psc-adoexamples__db1.mdb", QStringLiteral("busy.mdb"));
    const QString locked = copyOf("ucanaccess__password.mdb", QStringLiteral("locked.mdb"));
    QFile lockFile(dir_.filePath(QStringLiteral("busy.ldb")));
    ASSERT_TRUE(lockFile.open(QIODevice::WriteOnly));
    lockFile.close();
    const QByteArray busyBefore = contentOf(busy);

    const ToolRun run = runTool({QStringLiteral("compact"), QStringLiteral("--json"), first, busy, locked},
                                {QStringLiteral("TESSIVAR_PASSWORD=ucanaccess")});
    EXPECT_EQ(run.exitCode, 1);
    const QList<QJsonObject> objects = run.objects();
    ASSERT_EQ(objects.size(), 3) << run.out.toStdString();
    EXPECT_TRUE(objects[0][QStringLiteral("ok")].toBool());
    EXPECT_EQ(objects[0][QStringLiteral("target")].toString(), dir_.filePath(QStringLiteral("first-compact.mdb")));
    EXPECT_EQ(objects[0][QStringLiteral("sourceBytes")].toInteger(), 88064);
    EXPECT_EQ(objects[0][QStringLiteral("userTables")].toInt(), 1);
    EXPECT_EQ(objects[0][QStringLiteral("userRows")].toInt(), 10);
    EXPECT_TRUE(objects[0][QStringLiteral("notices")].isArray());
    EXPECT_TRUE(objects[0][QStringLiteral("notices")].toArray().isEmpty()) << "a same-format copy leaves nothing out";
    EXPECT_FALSE(objects[1][QStringLiteral("ok")].toBool());
    EXPECT_TRUE(objects[1][QStringLiteral("error")].toString().contains(QStringLiteral("busy.ldb")));
    EXPECT_TRUE(objects[2][QStringLiteral("ok")].toBool()) << objects[2][QStringLiteral("error")].toString().toStdString();
    EXPECT_EQ(contentOf(busy), busyBefore);
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("busy-compact.mdb"))));

    // The copy keeps the source's password unless told otherwise.
    const QString copy = dir_.filePath(QStringLiteral("locked-compact.mdb"));
    EXPECT_EQ(runTool({QStringLiteral("info"), copy, QStringLiteral("--password"), QStringLiteral("ucanaccess")}).exitCode, 0);
    EXPECT_EQ(runTool({QStringLiteral("info"), copy, QStringLiteral("--password"), QStringLiteral("")}).exitCode, 2);
}

TEST(JetToolCompactReport, EveryNoticeIsInTheSummaryAndInTheJsonObject)
{
    jettool::CompactOutcome converted;
    converted.file = "/srv/data/sales.mdb";
    converted.target = "/srv/data/sales-compact.mdb";
    converted.result.sourceBytes = 2048;
    converted.result.targetBytes = 1024;
    converted.result.notices = {"フォームは含めていません。", "\"引用符\" と\n改行のある文です。"};
    std::ostringstream out;
    std::ostringstream err;
    jettool::printCompactLine(converted, out, err);
    const QStringList lines = QString::fromStdString(out.str()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << out.str();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("最適化しました: /srv/data/sales.mdb -> "))) << out.str();
    EXPECT_EQ(lines[1], QStringLiteral("注意: /srv/data/sales.mdb: フォームは含めていません。"));
    EXPECT_EQ(lines[2], QStringLiteral("注意: /srv/data/sales.mdb: \"引用符\" と 改行のある文です。"));
    EXPECT_TRUE(err.str().empty()) << "a notice is no failure";

    std::ostringstream json;
    jettool::printCompactJson(converted, json);
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(json.str()), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.str();
    EXPECT_EQ(object[QStringLiteral("notices")].toArray(),
              (QJsonArray{QStringLiteral("フォームは含めていません。"), QStringLiteral("\"引用符\" と\n改行のある文です。")}));
}
