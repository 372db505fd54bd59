#include "app/ShortcutOverrideFilter.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

namespace {

bool IsWindowCommandKey(const QWidget *window, const QKeySequence &keys)
{
    const QList<QAction *> actions = window->actions();
    return std::any_of(actions.begin(), actions.end(), [&keys](const QAction *action) {
        return action->isEnabled() && action->shortcutContext() != Qt::WidgetShortcut
               && action->shortcuts().contains(keys);
    });
}

}  // namespace

TShortcutOverrideFilter::TShortcutOverrideFilter(QObject *parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

TShortcutOverrideFilter::~TShortcutOverrideFilter()
{
    qApp->removeEventFilter(this);
}

bool TShortcutOverrideFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const QKeySequence keys(key->keyCombination());
    if (!IsWindowCommandKey(static_cast<QWidget *>(watched)->window(), keys))
        return false;
    // Not accepted: the control does not claim the key, and the shortcut runs.
    event->ignore();
    return true;
}
