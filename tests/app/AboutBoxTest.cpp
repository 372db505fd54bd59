// The about box: its layout, the labels filled from the version information
// the program carries, and what it shows without that information.
#include "app/MessageBoxes.h"
#include "app/UnitFormAboutBox.h"
#include "app/UnitFormMain.h"
#include "platform/VersionBlock.h"
#include "support/ElfFixture.h"
#include "util/VersionInfoValue.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class AboutBox : public ::testing::Test {
protected:
    ~AboutBox() override { SetVersionInfoFile(QString()); }

    // Makes the box read a program whose version block is built from `data`.
    void UseVersionFile(const QByteArray &elf)
    {
        const QString path = dir.filePath(QStringLiteral("program"));
        ASSERT_TRUE(elffixture::Write(path, elf));
        SetVersionInfoFile(path);
    }

    QTemporaryDir dir;
    QStringList errors;
    ScopedMessageBoxHook boxes{[this](MessageBoxKind, const QString &text) { errors << text; }};
};

TEST_F(AboutBox, LabelsShowTheProgramsVersionInformation)
{
    TFormAboutBox box(nullptr);
    // Two blanks after the colon: the design caption's own and the format's.
    EXPECT_EQ(box.ProductName->text(), QStringLiteral("製品名:  Tessivar"));
    // The file version, not the product version string "1.0.0.0".
    EXPECT_EQ(box.Version->text(), QStringLiteral("バージョン 0.1.0.0"));
    EXPECT_EQ(box.Copyright->text(), QStringLiteral("Copyright Tessivar Project"));
    EXPECT_EQ(box.Comments->text(), QStringLiteral("Accessのデータベースファイルを最適化します。"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(AboutBox, LayoutAndButton)
{
    TFormAboutBox box(nullptr);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(box.size(), QSize(298, 213));
    EXPECT_EQ(box.minimumSize(), box.maximumSize()) << "fixed size";
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(box.Panel1->geometry(), QRect(8, 8, 281, 161));
    EXPECT_EQ(box.ProgramIcon->geometry(), QRect(8, 8, 65, 57));
    EXPECT_EQ(box.ProgramIcon->pixmap().size(), QSize(32, 32));
    EXPECT_TRUE(box.ProgramIcon->hasScaledContents());
    EXPECT_EQ(box.ProductName->geometry(), QRect(88, 16, 185, 13));
    EXPECT_EQ(box.Version->geometry(), QRect(88, 40, 185, 13));
    EXPECT_EQ(box.Copyright->geometry(), QRect(8, 80, 265, 13));
    EXPECT_EQ(box.Comments->geometry(), QRect(8, 104, 265, 49));
    EXPECT_TRUE(box.Comments->wordWrap());
    EXPECT_FALSE(box.ProductName->wordWrap());
    EXPECT_EQ(box.OKButton->geometry(), QRect(111, 180, 75, 25));
    EXPECT_EQ(box.OKButton->text(), QStringLiteral("OK"));
    EXPECT_TRUE(box.OKButton->isDefault());
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    box.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
    EXPECT_EQ(QApplication::focusWidget(), box.OKButton);
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

// No cancel button: Esc leaves the box open; the close box still closes it.
TEST_F(AboutBox, EscapeDoesNotCloseTheBox)
{
    TFormAboutBox box(nullptr);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    box.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
    QTest::keyClick(box.OKButton, Qt::Key_Escape);
    EXPECT_TRUE(box.isVisible());
    EXPECT_TRUE(box.close());
    EXPECT_FALSE(box.isVisible());
}

TEST_F(AboutBox, WithoutVersionInformationShowsCaptionsAndOneBlank)
{
    UseVersionFile(elffixture::Elf64({{".text", "code"}}));
    TFormAboutBox box(nullptr);
    EXPECT_EQ(box.ProductName->text(), QStringLiteral("製品名:  "));
    EXPECT_EQ(box.Version->text(), QStringLiteral("バージョン "));
    EXPECT_EQ(box.Copyright->text(), QStringLiteral("Copyright "));
    EXPECT_EQ(box.Comments->text(), QString());
    EXPECT_TRUE(errors.isEmpty()) << "no message";
}

TEST_F(AboutBox, MissingTranslationIsReportedAndTheBoxStillOpensWithItsDesignTexts)
{
    using namespace versionblock;
    constexpr StringEntry strings[] = {{u"ProductName", u"Tessivar"}};
    const VersionData data{FixedFileInfo{}, u"041103A4", strings, true, {}};
    UseVersionFile(elffixture::Elf64({{".appversion", elffixture::FromBytes(Build(data))}}));
    TFormAboutBox box(nullptr);
    EXPECT_EQ(errors, QStringList{QStringLiteral("情報の取得に失敗しました")});
    EXPECT_EQ(box.ProductName->text(), QStringLiteral("製品名: "));
    EXPECT_EQ(box.Version->text(), QStringLiteral("バージョン"));
    EXPECT_EQ(box.Copyright->text(), QStringLiteral("Copyright"));
    EXPECT_EQ(box.Comments->text(), QStringLiteral("コメント"));
}

TEST_F(AboutBox, AboutCommandOpensAModalBoxOverTheWindowAndDisposesOfIt)
{
    TFormMain form;
    form.move(100, 120);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QStringList seen;
    QPoint offset;
    const auto answer = [&] {
        auto *box = qobject_cast<TFormAboutBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen << box->ProductName->text();
        offset = box->pos() - form.frameGeometry().topLeft();
        box->OKButton->click();
    };
    for (int run = 0; run < 2; ++run) {
        QTimer::singleShot(50, answer);
        form.ActionHelpVersion->trigger();
    }
    EXPECT_EQ(seen, (QStringList{"製品名:  Tessivar", "製品名:  Tessivar"}));
    EXPECT_EQ(offset, QPoint((form.frameGeometry().width() - 298) / 2, (form.frameGeometry().height() - 213) / 2));
    EXPECT_TRUE(form.findChildren<TFormAboutBox *>().isEmpty()) << "each box is destroyed when it closes";
}

}  // namespace
