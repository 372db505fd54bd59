// Lets the window's commands win over the key bindings of its controls: a
// line edit claims Ctrl+letters such as Ctrl+A, Ctrl+Z or (under X11)
// Ctrl+E and Ctrl+U for itself, so a command with such a shortcut would not
// run while an edit has the focus. The commands' shortcut keys must work in
// every control of the window.
#pragma once

#include <QObject>

class TShortcutOverrideFilter : public QObject {
    Q_OBJECT
public:
    // Watches the whole application.
    explicit TShortcutOverrideFilter(QObject *parent);
    ~TShortcutOverrideFilter() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
