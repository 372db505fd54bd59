#include "util/CursorHourGlass.h"

#include <QApplication>
#include <QCursor>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

int overrideDepthShape()
{
    const QCursor *cursor = QApplication::overrideCursor();
    return cursor ? cursor->shape() : -1;
}

}  // namespace

TEST(CursorHourGlass, LastReferenceRestoresTheCursorFoundAtCreation)
{
    ASSERT_EQ(ScreenCursor(), crDefault);
    {
        ICursorHourGlassRef first = CreateCursorHourGlass(crHourGlass);
        EXPECT_EQ(ScreenCursor(), crHourGlass);
        EXPECT_EQ(overrideDepthShape(), Qt::WaitCursor);
        ICursorHourGlassRef copy = first;
        first.reset();
        EXPECT_EQ(ScreenCursor(), crHourGlass) << "a remaining reference keeps the cursor";
    }
    EXPECT_EQ(ScreenCursor(), crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(CursorHourGlass, GuardsNestAndUnwindOnExceptions)
{
    try {
        const ICursorHourGlassRef outer = CreateCursorHourGlass(crAppStart);
        {
            const ICursorHourGlassRef inner = CreateCursorHourGlass(crHourGlass);
            EXPECT_EQ(overrideDepthShape(), Qt::WaitCursor);
        }
        EXPECT_EQ(ScreenCursor(), crAppStart);
        EXPECT_EQ(overrideDepthShape(), Qt::BusyCursor);
        throw std::runtime_error("leave");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(ScreenCursor(), crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
