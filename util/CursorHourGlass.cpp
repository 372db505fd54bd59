#include "util/CursorHourGlass.h"

#include <QApplication>
#include <QCursor>

namespace {

TCursor screenCursor = crDefault;

Qt::CursorShape shapeFor(TCursor cursor)
{
    switch (cursor) {
    case crHourGlass:
        return Qt::WaitCursor;
    case crAppStart:
        return Qt::BusyCursor;
    default:
        return Qt::ArrowCursor;
    }
}

}  // namespace

TCursor ScreenCursor()
{
    return screenCursor;
}

// One override-cursor entry stands for the screen cursor while it is not
// crDefault, so the Qt stack never holds more than one entry of ours.
void SetScreenCursor(TCursor cursor)
{
    if (cursor == screenCursor)
        return;
    if (screenCursor == crDefault)
        QApplication::setOverrideCursor(QCursor(shapeFor(cursor)));
    else if (cursor == crDefault)
        QApplication::restoreOverrideCursor();
    else
        QApplication::changeOverrideCursor(QCursor(shapeFor(cursor)));
    screenCursor = cursor;
}

TCursorHourGlass::TCursorHourGlass(TCursor cursor) : FCursor(ScreenCursor())
{
    SetScreenCursor(cursor);
}

TCursorHourGlass::~TCursorHourGlass()
{
    SetScreenCursor(FCursor);
}

ICursorHourGlassRef CreateCursorHourGlass(TCursor cursor)
{
    ICursorHourGlassRef guard = std::make_shared<TCursorHourGlass>(cursor);
    QCoreApplication::processEvents();
    return guard;
}
