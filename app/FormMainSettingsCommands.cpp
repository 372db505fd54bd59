// The settings-file commands of the main window: New, Open and Save As.
// Open lets its errors go to the application-wide handler; Save As reports
// them itself in the warning box.
#include "app/UnitFormMain.h"

#include "app/FileDialog.h"
#include "app/MessageBoxes.h"
#include "app/ProjectFileIni.h"

void TFormMain::ActionFileNewExecute(QObject *)
{
    NewProject();
}

void TFormMain::ActionFileOpenAccept(QObject *)
{
    OpenProjectFile(ActionFileOpenDialog->FileName());
}

// The file name is taken over only once the whole job is in the window, so a
// job the window rejects (an engine type other than 4 or 5) leaves it as it was.
void TFormMain::OpenProjectFile(const QString &fileName)
{
    TProjectFile job;
    IniToProjectFile(fileName, job);
    ProjectFileToControls(job);
    SetProjectFileName(fileName);
}

// Every Save As starts from the current settings file, whether or not it
// still exists; a new job starts with neither name nor folder.
void TFormMain::ActionFileSaveAsBeforeExecute(QObject *)
{
    const QString fileName = ProjectFileName();
    ActionFileSaveAsDialog->SetFileName(fileName);
    ActionFileSaveAsDialog->SetInitialDir(fileName.isEmpty() ? QString() : FileDialogFolder(fileName));
}

void TFormMain::ActionFileSaveAsAccept(QObject *)
{
    SaveProjectFileAs(ActionFileSaveAsDialog->FileName());
}

bool TFormMain::SaveProjectFileAs(const QString &fileName)
{
    try {
        ProjectFileToIni(ControlsToProjectFile(), fileName);
        SetProjectFileName(fileName);
        return true;
    } catch (...) {
        WarningBox(this, MessageOfCurrentException());
        return false;
    }
}
