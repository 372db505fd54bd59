// The program's message boxes. Without a screen (or in tests) a hook takes
// their text instead of a modal box, so nothing waits for a click.
#pragma once

#include <QString>

#include <functional>

class QWidget;

enum class MessageBoxKind {
    Warning,  // "警告": a command's warning to the user
    Error,    // an exception no command caught
};

using MessageBoxHook = std::function<void(MessageBoxKind kind, const QString &text)>;

// A modal box titled "警告" with a warning icon and one OK button.
void WarningBox(QWidget *parent, const QString &text);

// A modal box titled with the application title, with an error icon and one
// OK button: how exceptions that no command caught are shown.
void ErrorBox(QWidget *parent, const QString &text);

// Installs a hook that receives every box's text instead of a box being shown
// (an empty hook shows real boxes again). Returns the previous hook.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

class ScopedMessageBoxHook {
public:
    explicit ScopedMessageBoxHook(MessageBoxHook hook) : FPrevious(SetMessageBoxHook(std::move(hook))) {}
    ~ScopedMessageBoxHook() { SetMessageBoxHook(std::move(FPrevious)); }
    ScopedMessageBoxHook(const ScopedMessageBoxHook &) = delete;
    ScopedMessageBoxHook &operator=(const ScopedMessageBoxHook &) = delete;

private:
    MessageBoxHook FPrevious;
};

// The hook of runs without a screen: each box becomes one line on standard
// error, "警告: <text>" or "エラー: <text>", line breaks turned into blanks.
MessageBoxHook StandardErrorMessageBoxes();

// The user's text of the exception being handled; call only inside a catch.
QString MessageOfCurrentException();
