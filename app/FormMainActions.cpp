#include "app/FormMainActions.h"

#include "app/ActionManager.h"

TFormMainActions CreateFormMainActions(QWidget *owner)
{
    auto *manager = new TActionManager(owner);
    TFormMainActions actions;
    actions.ActionManager1 = manager;
    actions.ActionTessivar = manager->Action("ActionTessivar");
    actions.FileOpenSourceMdb = manager->DialogAction("FileOpenSourceMdb");
    actions.FileOpenTargetMdb = manager->DialogAction("FileOpenTargetMdb");
    actions.ActionFileNew = manager->Action("ActionFileNew");
    actions.ActionFileOpen = manager->DialogAction("ActionFileOpen");
    actions.ActionFileSaveAs = manager->DialogAction("ActionFileSaveAs");
    actions.ActionFileCreateBat = manager->DialogAction("ActionFileCreateBat");
    actions.ActionHelpVersion = manager->Action("ActionHelpVersion");
    actions.ActionHelpShow = manager->Action("ActionHelpShow");
    return actions;
}
