// The nine commands of the main window, defined once as data and built into
// named QActions (objectName = the command's name) held by one manager
// (ActionManager1). Menus, toolbar buttons, push buttons and shortcut keys
// only trigger them. Dialog commands own their file dialog for the life of
// the window and run it between their before and accept steps.
#pragma once

#include "app/FileDialog.h"

#include <QAction>
#include <QKeySequence>

#include <functional>
#include <span>

enum class TCommandKind { Plain, OpenDialog, SaveDialog };

struct TDialogDefinition {
    const char *DefaultExt = nullptr;
    const char16_t *Filter = nullptr;
    TFileDialogOptions Options;
};

struct TCommandDefinition {
    const char *Name;
    TCommandKind Kind;
    const char16_t *Category;
    const char16_t *Caption;
    const char16_t *Hint;  // "short|long", or one text for both; empty: none
    QKeyCombination Shortcut;
    int ImageIndex;  // into both image lists; GlyphNone for none
    TDialogDefinition Dialog;
};

// The command table, in the order the commands are listed for the window.
std::span<const TCommandDefinition> CommandDefinitions();

// The text before the first "|" (the tooltip's), and after it (the status
// bar's); a hint without "|" is both.
QString GetShortHint(const QString &hint);
QString GetLongHint(const QString &hint);

// "short hint (shortcut)" when there is a shortcut, else the short hint.
QString TooltipText(const QString &shortHint, const QKeySequence &shortcut);

// A command that runs a file dialog: clears its result, calls the before
// step (which may preset the dialog), shows the dialog and, when the user
// accepts a file, sets its result and calls the accept step. Cancelling
// runs no handler. No step catches exceptions.
class TFileDialogAction : public QAction {
    Q_OBJECT
public:
    TFileDialogAction(QObject *owner, TFileDialog *dialog);

    TFileDialog *Dialog() const { return FDialog; }
    bool ExecuteResult() const { return FExecuteResult; }

    std::function<void(QObject *sender)> OnBeforeExecute;
    std::function<void(QObject *sender)> OnAccept;

    void ExecuteTarget();

private:
    TFileDialog *FDialog;
    bool FExecuteResult = false;
};

class TActionManager : public QObject {
    Q_OBJECT
public:
    // Creates every command as a child of the manager and adds it to
    // `window`, so its shortcut works wherever the focus is in the window;
    // dialogs are children of the window.
    explicit TActionManager(QWidget *window);

    QAction *Action(const char *name) const;
    TFileDialogAction *DialogAction(const char *name) const;
    const QList<QAction *> &Actions() const { return FActions; }

    // The full hint ("short|long") a command was defined with.
    static QString HintOf(const QAction *action);
    static QString CategoryOf(const QAction *action);
    static int ImageIndexOf(const QAction *action);

private:
    QAction *Build(const TCommandDefinition &definition, QWidget *window);

    QList<QAction *> FActions;
};
