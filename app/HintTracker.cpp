#include "app/HintTracker.h"

#include "app/ActionManager.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

namespace {

bool IsMenu(const QObject *object)
{
    return qobject_cast<const QMenu *>(object) || qobject_cast<const QMenuBar *>(object);
}

// A toolbar or browse button bound to a command without a hint: Qt would
// fall back to the command's caption as its tooltip.
bool CommandHasNoHint(const QObject *object)
{
    const auto *button = qobject_cast<const QToolButton *>(object);
    const QAction *action = button ? button->defaultAction() : nullptr;
    return action && TActionManager::HintOf(action).isEmpty();
}

}  // namespace

THintTracker::THintTracker(QStatusBar *statusBar, QObject *parent) : QObject(parent), FStatusBar(statusBar)
{
    qApp->installEventFilter(this);
}

THintTracker::~THintTracker()
{
    qApp->removeEventFilter(this);
}

QString THintTracker::HintOf(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (!widget->statusTip().isEmpty())
            return widget->statusTip();
        if (widget->isWindow())
            break;
    }
    return QString();
}

bool THintTracker::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::Leave:
        // Qt enters every ancestor on the way in; only where the pointer
        // ends up counts, so a parent without a hint does not flash by.
        if (watched->isWidgetType() && !IsMenu(watched))
            QueuePointerLookup();
        break;
    case QEvent::StatusTip:
        // Menus report their highlighted item (empty for none or on closing);
        // other widgets' tips are Qt's own enter/leave handling, replaced here.
        if (IsMenu(watched))
            SetCurrentHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    case QEvent::ToolTip:
        if (CommandHasNoHint(watched)) {
            QToolTip::hideText();
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

void THintTracker::SetCurrentHint(const QString &hint)
{
    if (hint == FCurrentHint)
        return;
    FCurrentHint = hint;
    if (FStatusBar)
        FStatusBar->showMessage(hint);
}

// The look-up waits until Qt has finished its own enter and leave handling
// (which runs after this filter); by then the pointer's widget is known.
void THintTracker::QueuePointerLookup()
{
    if (FLookupQueued)
        return;
    FLookupQueued = true;
    QTimer::singleShot(0, this, &THintTracker::LookUpPointer);
}

void THintTracker::LookUpPointer()
{
    FLookupQueued = false;
    QWidget *widget = QApplication::widgetAt(QCursor::pos());
    // An open menu reports its own hints.
    for (QWidget *w = widget; w; w = w->parentWidget())
        if (IsMenu(w))
            return;
    SetCurrentHint(HintOf(widget));
}
