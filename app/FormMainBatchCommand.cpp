// Hook point of the batch-file command. The command, its dialog (filter,
// ".BAT", overwrite prompt) and the call of this handler are in place; the
// handler belongs to the batch-file work and does nothing until it lands.
// Replace this file with the real one.
#include "app/UnitFormMain.h"

// Reads the chosen name from ActionFileCreateBatDialog->FileName().
void TFormMain::ActionFileCreateBatAccept(QObject *) {}
