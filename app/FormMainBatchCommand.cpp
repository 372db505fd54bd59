// The batch-file command of the main window: writes the job the window shows
// as a batch file that replays it.
#include "app/BatchFile.h"
#include "app/UnitFormMain.h"

// A write error is not caught: it belongs to the application-wide handler.
void TFormMain::ActionFileCreateBatAccept(QObject *)
{
    if (!ValidateInput())
        return;
    CreateBatFile(ActionFileCreateBatDialog->FileName());
}

void TFormMain::CreateBatFile(const QString &fileName)
{
    ProjectFileToBat(ControlsToProjectFile(), fileName);
}
