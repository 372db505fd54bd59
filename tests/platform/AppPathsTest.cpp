#include "platform/AppPaths.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString makeDirs(const QTemporaryDir &root, const QString &relative)
{
    const QString path = root.path() + QLatin1Char('/') + relative;
    EXPECT_TRUE(QDir().mkpath(path));
    return QDir::cleanPath(path);
}

}  // namespace

TEST(AppPaths, DataIsFoundBesideTheExecutableOrUnderItsPrefix)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = makeDirs(root, QStringLiteral("prefix/bin"));
    const QString installed = root.path() + QStringLiteral("/prefix/share/tessivar");

    // Nothing there yet: the installed place is named, so a message shows where help belongs.
    EXPECT_EQ(AppDataDirFor(bin), installed);

    makeDirs(root, QStringLiteral("prefix/bin/help"));
    EXPECT_EQ(AppDataDirFor(bin), bin);

    makeDirs(root, QStringLiteral("prefix/share/tessivar/help"));
    EXPECT_EQ(AppDataDirFor(bin), installed) << "an installed prefix wins over stray files beside the program";
    EXPECT_EQ(AppDataDirFor(bin + QStringLiteral("/")), installed);
}
