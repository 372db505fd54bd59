// The about box: product name, file version, copyright holder and comment,
// read from the version information the executable carries.
#pragma once

#include "forms/FormAboutBoxLayout.h"

#include <QDialog>

class TFormAboutBox : public QDialog {
    Q_OBJECT
public:
    // Builds the box centred over `owner` and fills its labels. An exception
    // from filling them is reported through the application's error box and
    // the box is still made, showing what it has.
    explicit TFormAboutBox(QWidget *owner);

    QFrame *Panel1;
    QLabel *ProgramIcon;
    QLabel *ProductName;
    QLabel *Version;
    QLabel *Copyright;
    QLabel *Comments;
    QPushButton *OKButton;

protected:
    // The box has no cancel button, so Esc does not close it.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormCreate();
    void CentreOverOwner();
};
