// How hints reach the status bar: the long hint of the control under the
// pointer (or of its nearest ancestor that has one; empty when none has)
// and of the highlighted menu item becomes the application's current hint,
// and only a change of that hint rewrites the status bar. So a text that a
// command wrote there stays until the pointer reaches a different hint.
// Qt's own status tips are taken over: Qt clears the bar when the pointer
// leaves a widget with a tip and skips parents when entering a child.
// Also keeps controls whose command has no hint from showing a tooltip.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QStatusBar;
class QWidget;

class THintTracker : public QObject {
    Q_OBJECT
public:
    // Watches the whole application; hints are shown in `statusBar`.
    THintTracker(QStatusBar *statusBar, QObject *parent);
    ~THintTracker() override;

    QString CurrentHint() const { return FCurrentHint; }

    // The long hint of the widget or its nearest ancestor that has one.
    static QString HintOf(const QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void SetCurrentHint(const QString &hint);
    void QueuePointerLookup();
    void LookUpPointer();

    QPointer<QStatusBar> FStatusBar;
    QString FCurrentHint;
    bool FLookupQueued = false;
};
