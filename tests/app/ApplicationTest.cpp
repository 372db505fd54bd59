#include "app/Application.h"
#include "app/MessageBoxes.h"
#include "platform/Exceptions.h"

#include <QAction>
#include <QEventLoop>
#include <QMainWindow>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct Reports {
    QStringList errors;
    ScopedMessageBoxHook hook{[this](MessageBoxKind kind, const QString &text) {
        if (kind == MessageBoxKind::Error)
            errors << text;
    }};
};

}  // namespace

TEST(ApplicationExceptionHandler, ReportsTheMessageAndTheLoopGoesOn)
{
    ASSERT_NE(qobject_cast<TApplication *>(qApp), nullptr);
    Reports reports;
    QEventLoop loop;
    bool laterEventRan = false;
    QTimer::singleShot(0, [] { throw EArgumentException(QStringLiteral("パスに無効な文字が含まれています")); });
    QTimer::singleShot(0, [] { throw std::runtime_error("plain failure"); });
    QTimer::singleShot(0, [] { throw 7; });
    QTimer::singleShot(30, [&] {
        laterEventRan = true;
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(laterEventRan);
    QTest::qWait(10);
    ASSERT_EQ(reports.errors.size(), 3);
    EXPECT_EQ(reports.errors[0], QStringLiteral("パスに無効な文字が含まれています"));
    EXPECT_EQ(reports.errors[1], QStringLiteral("plain failure"));
    EXPECT_FALSE(reports.errors[2].isEmpty());
}

TEST(ApplicationExceptionHandler, AFailingShortcutCommandWorksAgain)
{
    Reports reports;
    QMainWindow window;
    auto *action = new QAction(&window);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    window.addAction(action);
    int runs = 0;
    QObject::connect(action, &QAction::triggered, [&] {
        ++runs;
        throw EArgumentException(QStringLiteral("EngineTypeが不正な値です。"));
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_J, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_J, Qt::ControlModifier);
    QTest::qWait(10);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(reports.errors, (QStringList{"EngineTypeが不正な値です。", "EngineTypeが不正な値です。"}));
}

