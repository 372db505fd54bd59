// The batch-file command of the main window: writes the job the window shows
// as a batch file that replays it.
#include "app/BatchFile.h"
#include "app/MessageBoxes.h"
#include "app/UnitFormMain.h"

// A write error is not caught: it belongs to the application-wide handler.
void TFormMain::ActionFileCreateBatAccept(QObject *)
{
    if (!ValidateInput())
        return;
    CreateBatFile(ActionFileCreateBatDialog->FileName());
}

// A job whose line would replay differently is refused with a warning, like
// a missing source, and an existing file of that name is left alone.
void TFormMain::CreateBatFile(const QString &fileName)
{
    const TProjectFile job = ControlsToProjectFile();
    if (const QString refusal = BatchFileRefusal(job); !refusal.isEmpty()) {
        WarningBox(this, refusal);
        return;
    }
    ProjectFileToBat(job, fileName);
}
