#include "app/Application.h"

#include "app/MessageBoxes.h"

#include <QEvent>
#include <QExposeEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

TApplicationState &Application()
{
    static TApplicationState state;
    return state;
}

void DoApplicationIdle()
{
    // A copy, so that a handler that removes itself is not destroyed mid-call.
    const auto handler = Application().OnIdle;
    if (!handler)
        return;
    bool done = true;
    handler(qApp, done);
}

namespace {

// Show gives the native window; its first Expose means the first paint is done.
// A zero timer started then runs once the events waiting now are handled.
class FirstExposeWatcher : public QObject {
public:
    FirstExposeWatcher(QWidget *window, std::function<void()> callback)
        : QObject(window), FWindow(window), FCallback(std::move(callback))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == FWindow && event->type() == QEvent::Show && FWindow->windowHandle()) {
            FWindow->removeEventFilter(this);
            FWindow->windowHandle()->installEventFilter(this);
        } else if (watched == FWindow->windowHandle() && event->type() == QEvent::Expose &&
                   FWindow->windowHandle()->isExposed()) {
            FWindow->windowHandle()->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                const auto callback = std::move(FCallback);
                deleteLater();
                callback();
            });
        }
        return false;
    }

private:
    QWidget *FWindow;
    std::function<void()> FCallback;
};

}  // namespace

void WatchFirstExpose(QWidget *window, std::function<void()> onFirstExpose)
{
    new FirstExposeWatcher(window, std::move(onFirstExpose));
}

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const QString message = MessageOfCurrentException();
        QMetaObject::invokeMethod(this, [this, message] { ShowException(message); }, Qt::QueuedConnection);
    }
    return false;
}

void TApplication::ShowException(const QString &message)
{
    ErrorBox(activeWindow(), message);
}
