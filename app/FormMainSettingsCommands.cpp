// Hook points of the settings-file commands New, Open and Save As. The
// commands, their dialogs (filter, ".INI", options) and the calls of these
// handlers are in place; the handlers themselves belong to the settings-file
// work and do nothing until it lands. Replace this file with the real ones.
#include "app/UnitFormMain.h"

void TFormMain::ActionFileNewExecute(QObject *) {}

// Reads the chosen name from ActionFileOpenDialog->FileName().
void TFormMain::ActionFileOpenAccept(QObject *) {}

// May preset ActionFileSaveAsDialog (SetFileName, SetInitialDir).
void TFormMain::ActionFileSaveAsBeforeExecute(QObject *) {}

// Reads the chosen name from ActionFileSaveAsDialog->FileName().
void TFormMain::ActionFileSaveAsAccept(QObject *) {}
