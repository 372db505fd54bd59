// The application object: its title, help file and idle event, and the
// application-wide exception handler that reports every exception an event
// handler lets escape and keeps the event loop running.
#pragma once

#include <QApplication>
#include <QString>

#include <functional>

class QWidget;

struct TApplicationState {
    QString Title = QStringLiteral("Tessivar");
    QString HelpFile;
    // The idle handler: the sender and an in-out "done" flag.
    std::function<void(QObject *sender, bool &done)> OnIdle;
};

// The one application state of the process.
TApplicationState &Application();

// Runs the idle handler, if one is installed. The handler may remove itself.
void DoApplicationIdle();

// Calls `onFirstExpose` once, at the first idle moment after `window` has been
// shown and painted for the first time (not again when it is hidden and shown).
void WatchFirstExpose(QWidget *window, std::function<void()> onFirstExpose);

// Reports exceptions that escape event handlers instead of leaving the event
// loop: the message text is shown (queued, after the failed dispatch has
// unwound) and the loop goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

private:
    void ShowException(const QString &message);
};
