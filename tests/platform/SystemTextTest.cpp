// File names and process arguments in a locale whose character set is not
// UTF-8: the bytes on disk are the locale's, whatever Qt assumes.
#include "platform/AnsiCodePage.h"
#include "platform/FileSystem.h"
#include "support/CompiledLocales.h"
#include "support/ScopedCharacterSet.h"
#include "support/TempFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(SystemText, FileNamesAndTheCurrentFolderAreInTheLocaleCharacterSet)
{
    const CompiledLocales locales;
    for (const auto &[locale, codePage] : {std::pair{CompiledLocales::kEucJp, "EUC-JP"},
                                           std::pair{CompiledLocales::kShiftJis, "CP932"}}) {
        const ScopedCharacterSet characterSet(locale);
        if (!characterSet.active())
            GTEST_SKIP() << locale << " could not be compiled (localedef or the ja_JP source is missing)";
        QTemporaryDir dir;
        const QString name = QStringLiteral("設定表ソ～.ini");
        const QByteArray bytes = UnicodeToAnsi(name, codePage);
        EXPECT_EQ(EncodeSystemText(name), bytes) << locale;
        EXPECT_EQ(DecodeSystemText(bytes), name) << locale;

        WriteFileAtomically(dir.filePath(name), "x");
        const QByteArray onDisk = QFile::encodeName(dir.path()) + '/' + bytes;
        struct stat st {};
        EXPECT_EQ(::stat(onDisk.constData(), &st), 0) << locale;
        EXPECT_TRUE(FileExists(dir.filePath(name))) << locale;
        EXPECT_EQ(ReadWholeFile(dir.filePath(name), 10), "x") << locale;

        // A relative name is made absolute against a folder named in the locale.
        const QByteArray folder = QFile::encodeName(dir.path()) + '/' + UnicodeToAnsi(QStringLiteral("フォルダ"), codePage);
        ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
        char saved[4096];
        ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
        ASSERT_EQ(::chdir(folder.constData()), 0);
        const QString expanded = ExpandFileName(QStringLiteral("a.ini"));
        ASSERT_EQ(::chdir(saved), 0);
        EXPECT_EQ(expanded, dir.path() + QStringLiteral("/フォルダ/a.ini")) << locale;
        // QTemporaryDir would look for these under their UTF-8 names.
        ::unlink(onDisk.constData());
        ::rmdir(folder.constData());
    }
    // Under UTF-8 the names are Qt's own.
    const ScopedCharacterSet utf8("C.UTF-8");
    EXPECT_EQ(EncodeSystemText(QStringLiteral("設定.ini")), QStringLiteral("設定.ini").toUtf8());
}
